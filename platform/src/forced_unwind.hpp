// glibc ends a thread (pthread_exit, cancellation) by a forced unwind, seen as
// abi::__forced_unwind: a handler may clean up on its way, but must pass it on (glibc aborts the
// process when one ends in a handler). HS_FORCED_UNWIND says it exists here.
#pragma once

#include <cstddef>  // the C++ library's configuration, and the C library's

#if defined(__GLIBC__) && defined(__GLIBCXX__)
#include <cxxabi.h>
#define HS_FORCED_UNWIND 1
#endif
