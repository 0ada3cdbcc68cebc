// The window's log view: it follows the newest line unless the operator has
// scrolled up, keeps the newest lines only, and shows failures in their own colour.
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>

#include "tests/ui/MainWindowFixture.h"
#include "ui/LogView.h"

namespace ui_test {
namespace {

class LogView : public MainWindowTest {
 protected:
  QPlainTextEdit* Memo() { return Find<QPlainTextEdit>(window.get(), "Memo1"); }
  QScrollBar* Bar() { return Memo()->verticalScrollBar(); }
  void Lines(int count, const std::string& text = "line") {
    for (int i = 0; i < count; ++i) WriteLog({text, std::to_string(i)});
    QApplication::processEvents();
  }
  bool AtNewestLine() { return Bar()->value() == Bar()->maximum(); }
  void ResizeTo(const QSize& size) {
    window->resize(size);
    QApplication::processEvents();
  }
};

TEST_F(LogView, FollowsTheNewestLineAfterTheWindowWasEnlargedAndShrunk) {
  Open();
  Lines(200);
  ASSERT_GT(Bar()->maximum(), 0);
  EXPECT_TRUE(AtNewestLine());
  const QSize size = window->size();
  ResizeTo(QSize(1400, 1000));
  ResizeTo(size);
  Lines(3600);
  EXPECT_TRUE(AtNewestLine()) << Bar()->value() << " of " << Bar()->maximum();
  EXPECT_TRUE(Memo()->toPlainText().endsWith(QStringLiteral("\tline\t3599")));
  CloseWithoutQuestion();
}

TEST_F(LogView, StaysWhereTheOperatorScrolledUntilHeReturnsToTheEnd) {
  Open();
  Lines(300);
  Bar()->setValue(10);  // as the operator's wheel or slider does
  Lines(50);
  EXPECT_EQ(Bar()->value(), 10);
  // Also across a resize.
  const QSize size = window->size();
  ResizeTo(QSize(1000, 700));
  ResizeTo(size);
  EXPECT_EQ(Bar()->value(), 10);
  Bar()->setValue(Bar()->maximum());
  Lines(50);
  EXPECT_TRUE(AtNewestLine());
  CloseWithoutQuestion();
}

TEST_F(LogView, KeepsTheNewestLinesWhileTheFileKeepsEveryLine) {
  Open();
  Lines(TLogView::kMaxLines + 5);
  QTextDocument* text = Memo()->document();
  EXPECT_EQ(text->blockCount(), TLogView::kMaxLines);
  EXPECT_TRUE(text->firstBlock().text().endsWith(QStringLiteral("\tline\t5")))
      << text->firstBlock().text().toStdString();
  EXPECT_TRUE(text->lastBlock().text().endsWith(QStringLiteral("\tline\t20004")));
  EXPECT_TRUE(AtNewestLine());
  // The load's line and every line written since.
  EXPECT_EQ(LogFields().size(), static_cast<size_t>(TLogView::kMaxLines + 6));
  CloseWithoutQuestion();
}

TEST_F(LogView, ShowsTheLinesMarkedAsFailuresInTheirColourAndTheFileUnchanged) {
  Open();
  WriteLog({"plain"});
  WriteFailureLog({"failed", "reason"});
  WriteLog({"plain again"});
  QTextDocument* text = Memo()->document();
  const QTextBlock last = text->lastBlock();
  EXPECT_FALSE(TLogView::ShowsFailure(last.previous().previous()));
  EXPECT_TRUE(TLogView::ShowsFailure(last.previous()));
  EXPECT_FALSE(TLogView::ShowsFailure(last));
  EXPECT_TRUE(last.previous().text().endsWith(QStringLiteral("\tfailed\treason")));
  // The file holds the same bytes for both kinds.
  const std::vector<std::string> fields = LogFields();
  EXPECT_EQ(std::vector<std::string>(fields.end() - 3, fields.end()),
            (std::vector<std::string>{"plain", "failed\treason", "plain again"}));
  CloseWithoutQuestion();
}

}  // namespace
}  // namespace ui_test
