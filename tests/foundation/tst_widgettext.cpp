#include "foundation/widgettext.h"

#include <gtest/gtest.h>

// Every byte a workstation may send shows as one character in a window and, typed back or
// written from that window, becomes the same byte again.
TEST(WidgetTextTest, EveryByteSurvivesTheTripThroughAWidget)
{
    QByteArray all;
    for (int code = 0; code < 256; ++code)
        all.append(char(code));
    const QString shown = WidgetText::fromBytes(all);
    ASSERT_EQ(shown.size(), 256);
    for (int code = 0; code < 256; ++code)
        EXPECT_EQ(shown.at(code).unicode(), code);
    EXPECT_EQ(WidgetText::toBytes(shown), all);
}

TEST(WidgetTextTest, CharactersNoByteCanHoldBecomeQuestionMarks)
{
    EXPECT_EQ(WidgetText::toBytes(QStringLiteral("caf\u00e9 \u20ac1")), QByteArray("caf\xe9 ?1"));
}
