#pragma once
// VEXMAR_API marks the classes and functions that libVexmarExt.so exports: the public
// API, everything reachable from vexmar/vexmar.hpp. The library is compiled with hidden
// visibility, so whatever is not marked stays inside it and may change without breaking
// hosts. The mark changes nothing for the static library. The Windows build is the COM
// server, reached through its registered classes, so it exports no C++ API.
#if defined(_WIN32)
#define VEXMAR_API
#else
#define VEXMAR_API __attribute__((visibility("default")))
#endif
