#include "platform/errors.h"

#include <gtest/gtest.h>

namespace {

TEST(JoinErrorMessages, SeparatorRules) {
    struct Row { const char* first; const char* second; const char* joined; };
    const Row rows[] = {
        {"cannot open (x)", "detail", "cannot open (x). detail"},
        {"cannot open:", "detail", "cannot open: detail"},
        {"done.", "  detail \n", "done. detail"},
        {"why?", "detail", "why? detail"},
        {"  lead kept  \t", "detail", "  lead kept. detail"},
        {" \t ", "detail", "detail"},
        {"", "detail", "detail"},
        {"first", "   ", "first"},
        {"first.", "", "first."},
    };
    for (const Row& row : rows) EXPECT_EQ(row.joined, joinErrorMessages(row.first, row.second)) << row.first;
}

TEST(MdsError, CarriesRaiseLocationAndIsCatchableAsItsBase) {
    const SourceLocation where{"C:\\src\\platform/Locales.cpp", "Locale::fromLangId", 255};
    try {
        throw MdsError<std::invalid_argument>(std::invalid_argument("unsupported locale langId: 1036"), where);
    } catch (const std::logic_error& e) {
        EXPECT_STREQ("Locales.cpp(255) at Locale::fromLangId(): unsupported locale langId: 1036", e.what());
    }
}

}  // namespace
