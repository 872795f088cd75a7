#pragma once
// The POSIX process-id call under its Windows name, for test helpers written for Linux.
#include <process.h>
#define getpid _getpid
