#include "app/PageText.h"

#include <gtest/gtest.h>

#include "rtl/Exception.h"

using app::pageTextFromBytes;

TEST(PageText, LineEndsBecomeCrLfAndNulEndsTheText) {
    EXPECT_EQ(pageTextFromBytes("a\rb\rc"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(pageTextFromBytes("a\nb\n"), "a\r\nb\r\n");
    EXPECT_EQ(pageTextFromBytes("a\r\n\r\nb"), "a\r\n\r\nb\r\n");
    EXPECT_EQ(pageTextFromBytes("\n"), "\r\n");
    EXPECT_EQ(pageTextFromBytes(""), "");
    EXPECT_EQ(pageTextFromBytes(std::string("<b>1</b>\0 hidden\n", 17)), "<b>1</b>\r\n");
    EXPECT_EQ(pageTextFromBytes(std::string("\0", 1)), "");
}

TEST(PageText, BoundedStreamRefusesPastItsLimit) {
    rtl::TStringStream target;
    app::TBoundedStream bounded(target, 10);
    bounded.writeString("0123456789");
    EXPECT_THROW(bounded.writeString("x"), rtl::EWriteError);
    EXPECT_EQ(target.dataString(), "0123456789");
}
