#include "run/RewriteFile.h"
#include "support/TestSupport.h"
TEST(RewriteFile, Placeholder) {}
