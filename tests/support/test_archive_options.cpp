// Proves that the options initialiser sets every field of the record the
// libraries read, whatever the memory held before.
#include <cstring>

#include <gtest/gtest.h>

#include "archive_options.h"

namespace {

TEST(InitArchiveOptions, OverwritesEveryFieldWithItsDefault) {
    ArchiveOptions options;
    std::memset(&options, 0xA5, sizeof options);
    ArchiveOptions& result = init_archive_options(options);
    EXPECT_EQ(&result, &options);
    EXPECT_EQ(options.flags, 0u);
    EXPECT_EQ(options.code_page, 0);
    for (char16_t unit : options.locale_name) ASSERT_EQ(unit, 0);
    EXPECT_EQ(options.locale_name_ref, nullptr);
    EXPECT_EQ(options.separator_char, 0x005C);
    EXPECT_EQ(options.max_name_length, 1024u);
    EXPECT_EQ(options.dialog_limit, 1000);
}

}  // namespace
