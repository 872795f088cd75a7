#pragma once
// The platform headers of the server, in the order they need.
#include <windows.h>  // first: the other platform headers rely on its types

#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>

// COM interfaces end their objects through Release, never through a destructor, so they
// declare none; the warning about it does not apply to their implementations.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
