// The folder picker: what it preselects and what it gives back.
#include <QApplication>
#include <QDir>
#include <QFileDialog>

#include "tests/support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/BrowseForFolder.h"

namespace ui_test {
namespace {

class FolderPicker : public ModalGuard {
 protected:
  testing_support::TempDir dir;
};

TEST_F(FolderPicker, AnExistingFolderIsPreselected) {
  const std::string folder = dir.Sub(Cp("папка/"));
  std::string current = folder.substr(0, folder.size() - 1);
  QString shownFolder;
  QFileDialog::FileMode mode = QFileDialog::AnyFile;
  bool dirsOnly = false;
  auto seen = std::make_shared<Seen>();
  modal::Prepare([&](QDialog& dialog) {
    auto* chooser = qobject_cast<QFileDialog*>(&dialog);
    shownFolder = chooser->directory().absolutePath();
    mode = chooser->fileMode();
    dirsOnly = chooser->testOption(QFileDialog::ShowDirsOnly);
    return CancelChooser(seen)(dialog);
  });
  EXPECT_FALSE(BrowseForFolder(QStringLiteral("Заголовок"), current));
  EXPECT_EQ(seen->title, QStringLiteral("Заголовок"));
  EXPECT_EQ(seen->text, QStringLiteral("папка"));
  EXPECT_EQ(shownFolder + "/", Q(dir.Path()));
  EXPECT_EQ(mode, QFileDialog::Directory);
  EXPECT_TRUE(dirsOnly);
  EXPECT_TRUE(seen->modal);
  // Cancelled: the existing folder comes back unchanged.
  EXPECT_EQ(current, folder.substr(0, folder.size() - 1));
}

TEST_F(FolderPicker, NothingIsPreselectedForAMissingPathAFileOrNothing) {
  const std::string file = dir.Path() + "file.txt";
  testing_support::WriteFile(file, "x");
  for (const std::string& start : {dir.Path() + "missing", file, std::string()}) {
    std::string current = start;
    auto seen = std::make_shared<Seen>();
    modal::Prepare(CancelChooser(seen));
    EXPECT_FALSE(BrowseForFolder(QStringLiteral("T"), current));
    EXPECT_TRUE(seen->shown);
    EXPECT_EQ(seen->text, QString()) << Q(start).toStdString();
    EXPECT_EQ(current, "") << Q(start).toStdString();
  }
}

TEST_F(FolderPicker, GivesBackExactlyTheChosenPath) {
  const std::string chosen = dir.Sub(Cp("выбор/вложенная"));
  std::string current;
  modal::Prepare(Pick(Q(chosen)));
  ASSERT_TRUE(BrowseForFolder(QStringLiteral("T"), current));
  EXPECT_EQ(current, chosen);

  // The root folder, preselected and chosen, stays "/".
  current = "/";
  auto seen = std::make_shared<Seen>();
  modal::Prepare([seen](QDialog& dialog) {
    seen->text = qobject_cast<QFileDialog*>(&dialog)->directory().absolutePath();
    return int(QDialog::Accepted);
  });
  ASSERT_TRUE(BrowseForFolder(QStringLiteral("T"), current));
  EXPECT_EQ(seen->text, QStringLiteral("/"));
  EXPECT_EQ(current, "/");
}

TEST_F(FolderPicker, APathWithoutAWindows1251FormIsRefused) {
  const std::string parent = dir.Sub("p/");
  const QString foreign = Q(parent) + QStringLiteral("漢字");
  ASSERT_TRUE(QDir().mkpath(foreign));
  std::string current = parent;
  auto message = std::make_shared<Seen>();
  modal::Prepare(Pick(foreign));
  modal::Prepare(Click(QMessageBox::Ok, message));
  EXPECT_FALSE(BrowseForFolder(QStringLiteral("T"), current));
  EXPECT_EQ(current, parent);
  EXPECT_TRUE(message->shown);
  EXPECT_EQ(message->title, QStringLiteral("Tessel scripts"));
}

TEST_F(FolderPicker, ItsOwnerTakesNoInputWhileItIsOpen) {
  QWidget owner;
  owner.show();
  std::string current;
  bool ownerBlocked = false;
  modal::Prepare([&](QDialog& dialog) {
    ownerBlocked = QApplication::activeModalWidget() == &dialog &&
                   dialog.windowModality() == Qt::ApplicationModal &&
                   dialog.parentWidget() == &owner;
    return int(QDialog::Rejected);
  });
  EXPECT_FALSE(BrowseForFolder(QStringLiteral("T"), current, &owner));
  EXPECT_TRUE(ownerBlocked);
}

}  // namespace
}  // namespace ui_test
