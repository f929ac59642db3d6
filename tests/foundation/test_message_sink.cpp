#include <gtest/gtest.h>

#include "foundation/message_sink.h"

TEST(MessageSink, UnattendedSinkAnswersDefaultAndRecords) {
  std::vector<std::string> lines;
  TLogMessageSink sink([&](const std::string& l) { lines.push_back(l); });
  TScopedMessageSink scoped(&sink);
  EXPECT_TRUE(ConfirmBox("確認", "続けますか", true));
  EXPECT_FALSE(ConfirmBox("確認", "削除しますか", false));
  ShowMemo("SQL エラー", "", "ESQLiteException\n---------\nno such table");
  ASSERT_EQ(sink.Count(), 3u);
  EXPECT_TRUE(sink.Messages()[2].memo);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[2].find("SQL エラー"), std::string::npos);
  EXPECT_NE(lines[2].find("no such table"), std::string::npos);
  // A value with a NUL byte quoted in a message keeps everything after it.
  ShowMemo("SQL エラー", std::string("t\0itle", 6), std::string("near 'a\0b': syntax error", 24));
  EXPECT_EQ(sink.Messages()[3].text, "near 'a\u2400b': syntax error");
  EXPECT_EQ(sink.Messages()[3].title, "t\u2400itle");
}

TEST(MessageSink, ScopedSinkRestoresPrevious) {
  TMessageSink* before = &MessageSink();
  {
    TLogMessageSink inner([](const std::string&) {});
    TScopedMessageSink scoped(&inner);
    EXPECT_EQ(&MessageSink(), &inner);
  }
  EXPECT_EQ(&MessageSink(), before);
}
