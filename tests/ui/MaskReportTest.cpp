// The operator's view of what a mask would take.
#include <gtest/gtest.h>

#include "ui/MaskReport.h"

namespace {

using Lines = std::vector<std::string>;

TEST(MaskReport, NamesTheFolderAndListsTakenExcludedAndWaitingFiles) {
  TMaskListing listing;
  listing.Folder = "/in/";
  listing.FolderFound = true;
  listing.Taken = {"a.txt", "c.txt"};
  listing.Excluded = {"b.txt"};
  EXPECT_EQ(MaskReportLines("/in/*.txt|b*", listing),
            (Lines{"Маска: /in/*.txt|b*", "Папка: /in/", "Возьмёт сейчас (2):", "    a.txt",
                   "    c.txt", "Исключает (1):", "    b.txt"}));
  listing.Waiting.push_back({"d.txt", "открыт для записи"});
  const Lines lines = MaskReportLines("/in/*.txt|b*", listing);
  EXPECT_EQ(Lines(lines.end() - 2, lines.end()),
            (Lines{"Оставит до следующего прохода (1):", "    d.txt - открыт для записи"}));
}

TEST(MaskReport, AnEmptySelectionStillShowsItsSections) {
  TMaskListing listing;
  listing.Folder = "/in/";
  listing.FolderFound = true;
  EXPECT_EQ(MaskReportLines("/in/|*", listing),
            (Lines{"Маска: /in/|*", "Папка: /in/", "Возьмёт сейчас (0):", "Исключает (0):"}));
}

TEST(MaskReport, AMissingFolderOrNoneAtAllTakesNothing) {
  TMaskListing listing;
  listing.Folder = "/nowhere/";
  EXPECT_EQ(MaskReportLines("/nowhere/*", listing),
            (Lines{"Маска: /nowhere/*", "Папка: /nowhere/",
                   "Папка не найдена или не читается: проход не возьмёт ни одного файла."}));
  EXPECT_EQ(
      MaskReportLines("*.txt", TMaskListing{}),
      (Lines{"Маска: *.txt", "В маске не указана папка: проход не возьмёт ни одного файла."}));
}

}  // namespace
