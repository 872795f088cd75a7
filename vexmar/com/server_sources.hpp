#pragma once
// The server's type-library description and interface-id resources as source text,
// written from the class table so that the Windows module and the contract cannot drift
// apart. The texts are committed beside the server (VexmarExt.idl, iid_resources.rc)
// and a test compares them with what the table gives today.
#include <string>

namespace vexmar::com {

// The IDL of the type library in UTF-8; the help strings are turned into code page
// 936 when the server is built.
std::string TypeLibraryIdl();

// The six _IID_... resources: each the length 16 as a 32-bit little-endian number,
// then the interface IID in binary GUID layout.
std::string InterfaceIdResources();

}  // namespace vexmar::com
