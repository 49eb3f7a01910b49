// Low-level file access of RewriteFile, with a seam through which tests make writing fail.
#pragma once

#include <sys/types.h>
#include <sys/uio.h>

namespace vexlo::detail {

/// The write call RewriteFile uses for the new content (normally ::writev). Tests swap it
/// for one that fails; a failure it reports must leave the original file untouched.
using WritevFn = ssize_t (*)(int fd, const struct iovec *pieces, int count);
extern WritevFn g_rewriteWritev;

/// Whether temporary files are created unnamed (and given a name only once complete).
/// Tests turn it off to cover the named-temporary path as well.
extern bool g_useUnnamedTemporary;

} // namespace vexlo::detail
