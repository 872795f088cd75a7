# Finds libgcrypt (and libgpg-error, which it needs) and defines Libgcrypt::Libgcrypt.
# The one place where the build looks for it: a MinGW-w64 cross build finds the
# Windows build under /usr/<triplet> through the toolchain's CMAKE_FIND_ROOT_PATH; any
# other location can be given with Libgcrypt_ROOT.
include(FindPackageHandleStandardArgs)
find_path(Libgcrypt_INCLUDE_DIR gcrypt.h)
find_library(Libgcrypt_LIBRARY NAMES gcrypt libgcrypt)
find_library(Libgcrypt_GPG_ERROR_LIBRARY NAMES gpg-error libgpg-error)
if(Libgcrypt_INCLUDE_DIR AND EXISTS "${Libgcrypt_INCLUDE_DIR}/gcrypt.h")
  file(STRINGS "${Libgcrypt_INCLUDE_DIR}/gcrypt.h" _gcrypt_version_line
       REGEX "^#define GCRYPT_VERSION \"[0-9.]+")
  string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" Libgcrypt_VERSION "${_gcrypt_version_line}")
  unset(_gcrypt_version_line)
endif()
find_package_handle_standard_args(Libgcrypt
  REQUIRED_VARS Libgcrypt_LIBRARY Libgcrypt_GPG_ERROR_LIBRARY Libgcrypt_INCLUDE_DIR
  VERSION_VAR Libgcrypt_VERSION)
if(Libgcrypt_FOUND AND NOT TARGET Libgcrypt::Libgcrypt)
  add_library(Libgcrypt::GpgError UNKNOWN IMPORTED)
  set_target_properties(Libgcrypt::GpgError PROPERTIES
    IMPORTED_LOCATION "${Libgcrypt_GPG_ERROR_LIBRARY}")
  add_library(Libgcrypt::Libgcrypt UNKNOWN IMPORTED)
  set_target_properties(Libgcrypt::Libgcrypt PROPERTIES
    IMPORTED_LOCATION "${Libgcrypt_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${Libgcrypt_INCLUDE_DIR}"
    INTERFACE_LINK_LIBRARIES Libgcrypt::GpgError)
endif()
mark_as_advanced(Libgcrypt_INCLUDE_DIR Libgcrypt_LIBRARY Libgcrypt_GPG_ERROR_LIBRARY)
