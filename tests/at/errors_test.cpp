#include "at/errors.h"

#include <gtest/gtest.h>

namespace {

struct ErrorCase {
    const char* line;
    int cms;
    int cme;
};

const ErrorCase kErrors[] = {
    {"+CMS ERROR: 321", 321, -1},
    {"+cms error:321", 321, -1},
    {"  +CMS ERROR:  500 ", 500, -1},
    {"+CMS ERROR: invalid memory index", 321, -1},
    {"+CME ERROR: 22", -1, 22},
    {"+CME ERROR: not found", -1, 22},
    {"+CME ERROR: SIM busy", -1, -1},
    {"+CME ERROR: 99999999999", -1, -1},
    {"+CMS ERROR:", -1, -1},
    {"ERROR", -1, -1},
    {"", -1, -1},
};

TEST(ExtendedErrors, CodesOfBothKinds)
{
    for (const ErrorCase& c : kErrors) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(at::CmsError(QString::fromLatin1(c.line)), c.cms);
        EXPECT_EQ(at::CmeError(QString::fromLatin1(c.line)), c.cme);
    }
}

} // namespace
