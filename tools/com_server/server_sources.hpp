#pragma once
// The server's type-library description and interface-id resources as source text,
// written from the class table while the Windows module is built, so that the module
// and the contract cannot drift apart.
#include <string>

namespace vexmar::com {

// The IDL of the type library in UTF-8 (the help strings are turned into code page 936
// before compiling). Parameters without a name carry kUnnamedParameter, which is taken
// out of the compiled library again.
std::string TypeLibraryIdl();

// The collection interface that collection values are typed as, declared for the IDL
// compiler (the type library imports it from the collection library rather than
// defining it), in the file kCollectionInterfaceIdl.
inline constexpr const char* kCollectionInterfaceIdl = "CollectionInterface.idl";
std::string CollectionInterfaceIdl();

// A stand-in for the platform's collection library with the same LIBID, version, LCID
// and collection interface, to compile the type library against and to register where
// the platform's own is missing (a Wine prefix). Written here, never copied.
std::string CollectionLibraryIdl();

// The six _IID_... resources: each the length 16 as a 32-bit little-endian number,
// then the interface IID in binary GUID layout.
std::string InterfaceIdResources();

}  // namespace vexmar::com
