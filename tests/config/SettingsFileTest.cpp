// The settings file with the do-nothing kind: layout, load order, defaults,
// hand-edited and damaged files, names the format cannot keep.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "config/SettingsFile.h"
#include "config/uIniUtil.h"
#include "engine/uTesselTypes.h"
#include "tests/config/ScriptDump.h"
#include "tests/support/TestSupport.h"

using namespace testing_support;

namespace {

class SettingsFile : public ::testing::Test {
 protected:
  TempDir dir;
  ScopedLogFile log{dir.Path() + "scripts.log"};
  std::string file = dir.Path() + "scripts.ini";
  TTesselGroups script{TStepKinds::NoneOnly()};

  TTesselActionList* AddGroup(const std::string& name, const std::string& mask,
                              const std::string& dest, const std::string& bad, bool enabled) {
    TTesselActionList* group = script.AddGroup(name);
    group->SourceMask = mask;
    group->DestFolder = dest;
    group->BadFolder = bad;
    group->Enabled = enabled;
    return group;
  }
  static void AddStep(TTesselActionList* group, const std::string& copyTo, bool enabled) {
    TTesselAction* step = group->CreateAction(kKindNone);
    step->CopyTo = copyTo;
    step->Enabled = enabled;
  }
  std::string Reloaded() {
    TTesselGroups loaded{TStepKinds::NoneOnly()};
    LoadFromIni(loaded, file);
    return DumpScript(loaded);
  }
  std::vector<std::string> Sections() {
    std::vector<std::string> names;
    ReadSectionNames(names, file);
    return names;
  }
};

TEST_F(SettingsFile, SavedLayout) {
  script.PubKeysPath = "/keys/pub";
  TTesselActionList* group = AddGroup("Архив", "/in/*.txt", "/out", "", true);
  AddStep(group, "/copy", true);
  AddStep(group, "", false);
  AddGroup("Second", "", "", "", false);
  EXPECT_TRUE(SaveToIni(script, file));
  EXPECT_EQ(ReadFile(file),
            "[MAIN]\r\nPUBKEYS=/keys/pub\r\n"
            "[LIST]\r\n0=Архив\r\n1=Second\r\n"
            "[Архив\\MAIN]\r\nSOUR_FILE_MASK=/in/*.txt\r\nDEST_FOLDER=/out\r\nENABLE=-1\r\n"
            "[Архив\\ACTION_0]\r\nACTION_TYPE=5\r\nCOPY_TO=/copy\r\nENABLE=-1\r\n"
            "[Архив\\ACTION_1]\r\nACTION_TYPE=5\r\nENABLE=0\r\n"
            "[Second\\MAIN]\r\nENABLE=0\r\n");
  EXPECT_EQ(ListNames(dir.Path()), std::vector<std::string>{"scripts.ini"});
}

TEST_F(SettingsFile, SaveThenLoadReproducesTheScript) {
  script.PubKeysPath = "/keys/Открытые ключи";
  script.SecKeysPath = " /keys/secret ";
  TTesselActionList* a = AddGroup("Исходящие", "/in/pay####.txt", "/out", "/bad", true);
  AddStep(a, "/copy one", true);
  AddStep(a, "", false);
  AddStep(a, "\"quoted\"", true);
  AddGroup("Empty", "", "", "", false);
  TTesselActionList* c = AddGroup(" padded ", "'x'", "a=b", "; c", false);
  AddStep(c, "", true);
  const std::string before = DumpScript(script);
  EXPECT_TRUE(SaveToIni(script, file));
  EXPECT_EQ(DumpScript(script), before);  // a save leaves the script alone
  EXPECT_EQ(Reloaded(), before);
}

TEST_F(SettingsFile, LoadReplacesTheWholeScript) {
  AddGroup("Old", "", "", "", true);
  script.PubKeysPath = "/old";
  WriteFile(file, "[LIST]\r\n0=New\r\n[New\\MAIN]\r\nENABLE=-1\r\n");
  LoadFromIni(script, file);
  EXPECT_EQ(DumpScript(script),
            "PubKeysPath= SecKeysPath=\n"
            "group Name=New SourceMask= DestFolder= BadFolder= Enabled=1\n");
}

TEST_F(SettingsFile, GroupsComeInTheOrderOfTheListLines) {
  WriteFile(file, "[LIST]\r\n5=B\r\n2=A\r\nnoequals\r\n7=x=y\r\n[A\\MAIN]\r\nENABLE=1\r\n");
  LoadFromIni(script, file);
  ASSERT_EQ(script.GroupCount(), 4);
  EXPECT_EQ(script.GetGroup(0)->Name, "B");
  EXPECT_EQ(script.GetGroup(1)->Name, "A");
  EXPECT_TRUE(script.GetGroup(1)->Enabled);
  EXPECT_EQ(script.GetGroup(2)->Name, "noequals");  // a line without "=" is all name
  EXPECT_EQ(script.GetGroup(3)->Name, "x=y");       // the text after the first "="
}

TEST_F(SettingsFile, StepsComeInTheOrderOfTheirSectionsAndAreRenumberedOnSave) {
  WriteFile(file,
            "[LIST]\r\n0=G\r\n"
            "[G\\ACTION_1]\r\nACTION_TYPE=5\r\nCOPY_TO=/one\r\n"
            "[G\\MAIN]\r\nENABLE=0\r\n"
            "[G\\ACTION_0]\r\nACTION_TYPE=5\r\nCOPY_TO=/zero\r\nENABLE=-1\r\n");
  LoadFromIni(script, file);
  TTesselActionList* group = script.GetGroup(0);
  ASSERT_EQ(group->ActionCount(), 2);
  EXPECT_EQ(group->GetAction(0)->CopyTo, "/one");
  EXPECT_EQ(group->GetAction(1)->CopyTo, "/zero");
  EXPECT_TRUE(SaveToIni(script, file));
  EXPECT_EQ(ReadFile(file),
            "[LIST]\r\n0=G\r\n[G\\MAIN]\r\nENABLE=0\r\n"
            "[G\\ACTION_0]\r\nACTION_TYPE=5\r\nCOPY_TO=/one\r\nENABLE=0\r\n"
            "[G\\ACTION_1]\r\nACTION_TYPE=5\r\nCOPY_TO=/zero\r\nENABLE=-1\r\n");
}

TEST_F(SettingsFile, OnlyUsableSectionsOfTheGroupBecomeSteps) {
  WriteFile(file,
            "[LIST]\r\n0=Post\r\n"
            "[Post\\ACTION_0]\r\nACTION_TYPE=9\r\n"
            "[Post\\ACTION_1]\r\nCOPY_TO=/no-type\r\n"
            "[Post\\ACTION_2]\r\nACTION_TYPE=-1\r\n"
            "[Post\\ACTION_3]\r\nACTION_TYPE=abc\r\n"
            "[Post\\ACTION_4]\r\nACTION_TYPE=5\r\nCOPY_TO=/first\r\n"
            "[post\\ACTION_5]\r\nACTION_TYPE=5\r\nCOPY_TO=/other-case\r\n"
            "[Post\\ACTION]\r\nACTION_TYPE=5\r\nCOPY_TO=/no-underscore\r\n"
            "[Post\\ACTION_last]\r\naction_type=$5\r\nCOPY_TO=/any-suffix\r\n"
            "[Other\\ACTION_0]\r\nACTION_TYPE=5\r\nCOPY_TO=/no-group\r\n");
  LoadFromIni(script, file);
  ASSERT_EQ(script.GroupCount(), 1);
  TTesselActionList* group = script.GetGroup(0);
  ASSERT_EQ(group->ActionCount(), 2);
  EXPECT_EQ(group->GetAction(0)->CopyTo, "/first");
  EXPECT_EQ(group->GetAction(1)->CopyTo, "/any-suffix");
  EXPECT_TRUE(log.Fields().empty());
}

TEST_F(SettingsFile, MissingKeysReadAsDefaults) {
  WriteFile(file,
            "[LIST]\r\n0=Bare\r\n1=G\r\n"
            "[G\\MAIN]\r\nDEST_FOLDER=/out\r\n"
            "[G\\ACTION_0]\r\nACTION_TYPE=5\r\n");
  LoadFromIni(script, file);
  EXPECT_EQ(DumpScript(script),
            "PubKeysPath= SecKeysPath=\n"
            "group Name=Bare SourceMask= DestFolder= BadFolder= Enabled=0\n"
            "group Name=G SourceMask= DestFolder=/out BadFolder= Enabled=0\n"
            "  step kind=5 CopyTo= Enabled=0\n");
}

TEST_F(SettingsFile, AnEmptyScriptSavesNothingButWhatTheWindowAdds) {
  WriteFile(file, "[MAIN]\r\nPUBKEYS=/old\r\n[LIST]\r\n0=Old\r\n");
  EXPECT_TRUE(SaveToIni(script, file));
  EXPECT_EQ(ReadFile(file), "");
  EXPECT_TRUE(WriteIniInteger("MAIN", "INTERVAL", 3, file));
  EXPECT_EQ(ReadFile(file), "[MAIN]\r\nINTERVAL=3\r\n");
  LoadFromIni(script, file);
  EXPECT_EQ(script.GroupCount(), 0);
}

TEST_F(SettingsFile, WithoutKeyFoldersTheIntervalOpensMainAtTheEnd) {
  AddStep(AddGroup("G", "/in/*", "", "", true), "", true);
  EXPECT_TRUE(SaveToIni(script, file));
  EXPECT_TRUE(WriteIniInteger("MAIN", "INTERVAL", 7, file));
  EXPECT_EQ(ReadFile(file),
            "[LIST]\r\n0=G\r\n"
            "[G\\MAIN]\r\nSOUR_FILE_MASK=/in/*\r\nENABLE=-1\r\n"
            "[G\\ACTION_0]\r\nACTION_TYPE=5\r\nENABLE=-1\r\n"
            "[MAIN]\r\nINTERVAL=7\r\n");
  EXPECT_EQ(Reloaded(), DumpScript(script));
}

TEST_F(SettingsFile, AMissingFileLoadsAnEmptyScriptSilently) {
  AddGroup("Old", "", "", "", true);
  script.PubKeysPath = "/old";
  script.SecKeysPath = "/old";
  LoadFromIni(script, dir.Path() + "none.ini");
  EXPECT_EQ(DumpScript(script), "PubKeysPath= SecKeysPath=\n");
  EXPECT_TRUE(log.Fields().empty());
}

TEST_F(SettingsFile, AStepOfAKindTheRegistryCannotMakeIsLoggedAndItsFileIsNotSavedOver) {
  const std::string text =
      "[LIST]\r\n0=G\r\n[G\\MAIN]\r\nENABLE=-1\r\n"
      "[G\\ACTION_0]\r\nACTION_TYPE=3\r\nSENDER_KEY=A\r\nENABLE=-1\r\n"
      "[G\\ACTION_1]\r\nACTION_TYPE=5\r\nENABLE=-1\r\n";
  WriteFile(file, text);
  LoadFromIni(script, file);
  ASSERT_EQ(script.GetGroup(0)->ActionCount(), 1);
  EXPECT_EQ(script.GetGroup(0)->GetAction(0)->GetKind(), kKindNone);
  EXPECT_EQ(log.Fields(), (std::vector<std::string>{"Неизвестный вид действия\tG\\ACTION_0\t3"}));

  EXPECT_FALSE(SaveToIni(script, file));
  EXPECT_EQ(ReadFile(file), text);
  ASSERT_EQ(log.Fields().size(), 2u);
  EXPECT_EQ(log.Fields()[1],
            "Сохранение настроек - отказ\t" + file +
                "\tСценарий прочитан не полностью: есть действия неизвестного вида");

  // What was loaded may go to another file; a complete load lifts the guard.
  const std::string other = dir.Path() + "other.ini";
  EXPECT_TRUE(SaveToIni(script, other));
  LoadFromIni(script, other);
  EXPECT_TRUE(SaveToIni(script, file));
  EXPECT_EQ(Reloaded(), DumpScript(script));
  EXPECT_EQ(log.Fields().size(), 2u);
}

TEST_F(SettingsFile, DeletedGroupsAndStepsLeaveNoSectionsEvenWithALeftoverSideFile) {
  for (const char* name : {"A", "B", "C"}) {
    TTesselActionList* group = AddGroup(name, "/in", "", "", true);
    for (int i = 0; i < 3; ++i) AddStep(group, "", true);
  }
  EXPECT_TRUE(SaveToIni(script, file));
  // What an interrupted earlier save leaves beside the file: the full old script.
  WriteFile(file + "_tmp", ReadFile(file));
  script.DeleteGroup(1);
  script.GetGroup(0)->DeleteAction(2);
  script.GetGroup(0)->DeleteAction(0);
  EXPECT_TRUE(SaveToIni(script, file));
  EXPECT_EQ(Sections(), (std::vector<std::string>{"LIST", "A\\MAIN", "A\\ACTION_0", "C\\MAIN",
                                                  "C\\ACTION_0", "C\\ACTION_1", "C\\ACTION_2"}));
  std::vector<std::string> list;
  ReadSectionLines("LIST", list, file);
  EXPECT_EQ(list, (std::vector<std::string>{"0=A", "1=C"}));
  EXPECT_EQ(ListNames(dir.Path()), std::vector<std::string>{"scripts.ini"});
  EXPECT_EQ(Reloaded(), DumpScript(script));
}

TEST_F(SettingsFile, AHandEditedFileLoads) {
  WriteFile(file,
            "\xEF\xBB\xBF; Настройки, правленные руками\n"
            "[main]\n"
            "pubkeys = /keys/pub\n"
            "\n"
            "[LIST]\n"
            "0 = Входящие\n"
            "1=\"  Пробелы  \"\n"
            "; 2=Закомментировано\n"
            "[ВХОДЯЩИЕ\\MAIN]\n"
            "SOUR_FILE_MASK = \"/вход/*.txt\"\n"
            "Enable = True\n"
            "[Входящие\\ACTION_0]\n"
            "ACTION_TYPE = 5\n"
            "copy_to='/архив'\n"
            "ENABLE=1\n"
            "[  Пробелы  \\MAIN]\n"
            "ENABLE=-1");
  LoadFromIni(script, file);
  EXPECT_EQ(DumpScript(script),
            "PubKeysPath=/keys/pub SecKeysPath=\n"
            "group Name=Входящие SourceMask=/вход/*.txt DestFolder= BadFolder= Enabled=1\n"
            "  step kind=5 CopyTo=/архив Enabled=1\n"
            "group Name=  Пробелы   SourceMask= DestFolder= BadFolder= Enabled=1\n");
}

TEST_F(SettingsFile, DamagedFilesLoadWhatTheyHold) {
  std::mt19937 random(7);
  std::string garbage(256 * 1024, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  WriteFile(file, garbage + "\r\n[LIST]\r\n0=G\r\n[G\\MAIN]\r\nENABLE=-1\r\n");
  LoadFromIni(script, file);
  ASSERT_GE(script.GroupCount(), 1);
  EXPECT_EQ(script.GetGroup(script.GroupCount() - 1)->Name, "G");
  EXPECT_TRUE(script.GetGroup(script.GroupCount() - 1)->Enabled);

  // A 10 MB line: the name is kept whole, a value comes back cut.
  const std::string huge(10 << 20, 'n');
  WriteFile(file, "[LIST]\r\n0=" + huge + "\r\n1=G\r\n[G\\MAIN]\r\nDEST_FOLDER=" + huge + "\r\n");
  LoadFromIni(script, file);
  ASSERT_EQ(script.GroupCount(), 2);
  EXPECT_EQ(script.GetGroup(0)->Name, huge);
  EXPECT_EQ(script.GetGroup(1)->DestFolder, huge.substr(0, 65534));

  // Headers without "]": their lines belong to the section above.
  WriteFile(
      file,
      "[LIST]\r\n0=G\r\n[G\\MAIN]\r\nENABLE=-1\r\n[G\\ACTION_0\r\nACTION_TYPE=5\r\n[LIST\r\n1=H");
  LoadFromIni(script, file);
  EXPECT_EQ(DumpScript(script),
            "PubKeysPath= SecKeysPath=\n"
            "group Name=G SourceMask= DestFolder= BadFolder= Enabled=1\n");
}

TEST_F(SettingsFile, AValueOverTheReadLimitComesBackCut) {
  AddGroup("G", std::string(70000, 'm'), "/out", "", true);
  EXPECT_TRUE(SaveToIni(script, file));
  LoadFromIni(script, file);
  ASSERT_EQ(script.GroupCount(), 1);
  EXPECT_EQ(script.GetGroup(0)->SourceMask, std::string(65534, 'm'));
  EXPECT_EQ(script.GetGroup(0)->DestFolder, "/out");
}

TEST_F(SettingsFile, NamesTheFormatCannotKeepDoNotHarmTheRest) {
  // Kept: "]" inside the name and blanks around it.
  for (const char* name : {"a]b", " Out "}) {
    AddStep(AddGroup(name, "/in", "", "", true), "/c", true);
  }
  // Not kept: a line break, an empty name.
  AddStep(AddGroup("line\r\nbreak", "/x", "", "", true), "", true);
  AddStep(AddGroup("", "/y", "", "", true), "", true);
  AddStep(AddGroup("Last", "/z", "", "", false), "", false);
  EXPECT_TRUE(SaveToIni(script, file));
  TTesselGroups loaded{TStepKinds::NoneOnly()};
  LoadFromIni(loaded, file);
  // The line break's LIST line is refused and the empty name's is never written.
  ASSERT_EQ(loaded.GroupCount(), 3);
  EXPECT_EQ(loaded.GetGroup(0)->Name, "a]b");
  EXPECT_EQ(loaded.GetGroup(1)->Name, " Out ");
  for (int i : {0, 1}) {
    EXPECT_EQ(loaded.GetGroup(i)->SourceMask, "/in");
    ASSERT_EQ(loaded.GetGroup(i)->ActionCount(), 1);
    EXPECT_EQ(loaded.GetGroup(i)->GetAction(0)->CopyTo, "/c");
  }
  EXPECT_EQ(loaded.GetGroup(2)->Name, "Last");
  EXPECT_EQ(loaded.GetGroup(2)->SourceMask, "/z");
  EXPECT_EQ(loaded.GetGroup(2)->ActionCount(), 1);

  // Names equal apart from letter case, and a name that makes another
  // group's step prefix, share sections: the load reads what is there.
  TTesselGroups clash{TStepKinds::NoneOnly()};
  clash.AddGroup("Post")->CreateAction(kKindNone);
  clash.AddGroup("POST");
  clash.AddGroup("Post\\ACTION_x")->CreateAction(kKindNone);
  EXPECT_TRUE(SaveToIni(clash, file));
  LoadFromIni(clash, file);
  ASSERT_EQ(clash.GroupCount(), 3);
  EXPECT_EQ(clash.GetGroup(1)->Name, "POST");
  EXPECT_EQ(clash.GetGroup(0)->ActionCount(), 2);  // its own step and the other group's
  EXPECT_EQ(clash.GetGroup(2)->ActionCount(), 1);
}

TEST_F(SettingsFile, EachGroupOfTheScriptGetsWhatItsOwnLoadGives) {
  // Group and section names built from pieces that make prefixes of one
  // another: "\ACTION_" inside names, letter case, repeats in "LIST" and
  // sections named twice. Each step section records its name in COPY_TO.
  std::mt19937 random(12);
  const std::vector<std::string> pieces = {"A", "a", "\\ACTION_", "\\ACTION_", "0", "\\MAIN", ""};
  auto makeName = [&](int parts) {
    std::string name;
    for (int i = 0; i < parts; ++i) name += pieces[random() % pieces.size()];
    return name;
  };
  std::vector<std::string> groups;
  std::string text = "[LIST]\r\n";
  for (int i = 0; i < 40; ++i) {
    groups.push_back(makeName(1 + static_cast<int>(random() % 3)));
    text += std::to_string(i) + "=" + groups.back() + "\r\n";
  }
  for (int i = 0; i < 300; ++i) {
    const std::string section =
        random() % 2 ? groups[random() % groups.size()] + "\\ACTION_" + makeName(2) : makeName(5);
    text += "[" + section + "]\r\nACTION_TYPE=5\r\nCOPY_TO=" + std::to_string(i) + section + "\r\n";
  }
  WriteFile(file, text);

  LoadFromIni(script, file);
  TTesselGroups expected{TStepKinds::NoneOnly()};
  for (const std::string& name : groups) LoadFromIni(*expected.AddGroup(name), file);
  EXPECT_EQ(DumpScript(script), DumpScript(expected));
  int steps = 0;
  for (int i = 0; i < script.GroupCount(); ++i) steps += script.GetGroup(i)->ActionCount();
  EXPECT_GT(steps, 150);  // the case is not empty
}

}  // namespace

namespace {

TEST_F(SettingsFile, SettleTimeAndDuplicateGuardAreSavedOnlyWhenSetAndRoundTrip) {
  TTesselActionList* slow = AddGroup("Slow", "/in/*", "/out", "", true);
  slow->SettleSeconds = 45;
  slow->DuplicateDays = 30;
  AddGroup("Fast", "/in2/*", "/out", "", true);
  EXPECT_TRUE(SaveToIni(script, file));
  EXPECT_EQ(ReadFile(file),
            "[LIST]\r\n0=Slow\r\n1=Fast\r\n"
            "[Slow\\MAIN]\r\nSOUR_FILE_MASK=/in/*\r\nDEST_FOLDER=/out\r\nENABLE=-1\r\n"
            "SETTLE_TIME=45\r\nDUPLICATE_DAYS=30\r\n"
            "[Fast\\MAIN]\r\nSOUR_FILE_MASK=/in2/*\r\nDEST_FOLDER=/out\r\nENABLE=-1\r\n");
  TTesselGroups loaded{TStepKinds::NoneOnly()};
  LoadFromIni(loaded, file);
  EXPECT_EQ(loaded.GetGroup(0)->SettleSeconds, 45);
  EXPECT_EQ(loaded.GetGroup(0)->DuplicateDays, 30);
  EXPECT_EQ(loaded.GetGroup(1)->SettleSeconds, 0);
  EXPECT_EQ(loaded.GetGroup(1)->DuplicateDays, 0);

  // A negative value typed into the file by hand reads as none.
  WriteFile(file, "[LIST]\r\n0=G\r\n[G\\MAIN]\r\nSETTLE_TIME=-5\r\nDUPLICATE_DAYS=-1\r\n");
  LoadFromIni(loaded, file);
  EXPECT_EQ(loaded.GetGroup(0)->SettleSeconds, 0);
  EXPECT_EQ(loaded.GetGroup(0)->DuplicateDays, 0);
}

}  // namespace
