// The main window's log view: appends lines, shows the lines that report a
// failure in their own colour, keeps only the newest lines (the log file
// keeps everything), and follows the newest line unless the operator has
// scrolled away from it.
#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <vector>

class TLogView : public QPlainTextEdit {
  Q_OBJECT

 public:
  // Lines kept on screen: days of passes, without the view growing without end.
  static constexpr int kMaxLines = 20000;

  struct TLine {
    QString Text;
    bool Failure = false;
  };

  explicit TLogView(QWidget* parent = nullptr);

  void AddLines(const std::vector<TLine>& lines);
  void AddLine(const QString& text, bool failure) { AddLines({{text, failure}}); }
  // Whether the line is shown as a failure.
  static bool ShowsFailure(const QTextBlock& block);
  bool Following() const { return follow_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Runs a change of the view's own making: whatever it does to the scroll
  // bar, the view follows afterwards exactly when it followed before.
  template <class Change>
  void Keeping(Change change);
  void ScrollToNewest();

  bool follow_ = true;
  bool adjusting_ = false;
};
