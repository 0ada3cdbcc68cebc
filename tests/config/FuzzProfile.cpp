// libFuzzer target for the profile-file parser: any bytes as a settings file.
// The four profile operations run on it with buffers of every awkward size,
// and a written key must read back through a save and a new parse.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "config/uIniUtil.h"
#include "platform/Profile.h"

namespace {

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
  }
}

const std::string& FuzzFile() {
  static const std::string path = [] {
    const char* base = std::getenv("TMPDIR");
    std::string p = std::string(base && *base ? base : "/tmp") + "/fuzz_profile." +
                    std::to_string(::getpid()) + ".ini";
    return p;
  }();
  return path;
}

// Runs a list operation with a buffer of exactly `size` bytes and checks the
// buffer contract: the count stays inside and the block ends in zero bytes.
template <class Op>
void CheckList(size_t size, Op op) {
  std::unique_ptr<char[]> buffer(size ? new char[size] : nullptr);
  const size_t n = op(buffer.get(), size);
  if (size == 0) {
    Check(n == 0, "count for an empty buffer");
    return;
  }
  Check(n < size, "count inside the buffer");
  Check(buffer[n] == 0, "final zero byte");
  std::vector<std::string> items;
  SplitMultiString(buffer.get(), n, '\0', items);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const platform::ProfileImage image = platform::ProfileImage::Parse(bytes);
  const std::vector<std::string> names = image.SectionNames();

  // Parsing what we write gives the same sections back.
  const std::string saved = image.Serialize();
  const platform::ProfileImage again = platform::ProfileImage::Parse(saved);
  Check(again.SectionNames() == names, "sections survive a save");
  Check(again.Serialize() == saved, "a second save changes nothing");

  // A write reads back, before and after a save, whatever the file held.
  const std::string section = names.empty() ? std::string("S") : names[size % names.size()];
  const std::string value = bytes.substr(0, 40);
  platform::ProfileImage edited = image;
  if (edited.Write(section, "Key", &value)) {
    std::string read;
    Check(edited.Find(section, "KEY", read) && read == value, "written value reads back");
    const platform::ProfileImage reparsed = platform::ProfileImage::Parse(edited.Serialize());
    Check(reparsed.Find(section, "key", read) && read == value, "written value survives a save");
    Check(edited.Write(section, "Key", nullptr), "removal");
    Check(!edited.Find(section, "Key", read), "removed value is gone");
  }

  // The operations on the file, with buffers from none to the file's size.
  FILE* f = std::fopen(FuzzFile().c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  const std::string& file = FuzzFile();

  // A buffer of the file's size always holds the whole list.
  std::string block;
  for (const std::string& name : names) block += name + '\0';
  block += '\0';
  std::vector<std::string> expected, listed;
  SplitMultiString(block.data(), block.size() - 1, '\0', expected);
  ReadSectionNames(listed, file);
  Check(listed == expected, "section names fit the file's size");

  // The rest reads the file once, through a snapshot.
  platform::ProfileBatch snapshot(file, platform::ProfileBatch::Mode::Snapshot);
  const size_t fileSize = static_cast<size_t>(FileSizeByName(file));
  for (size_t bufferSize : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size % 17, fileSize}) {
    CheckList(bufferSize, [&](char* b, size_t s) {
      return platform::GetPrivateProfileSectionNamesA(b, s, file);
    });
    CheckList(bufferSize, [&](char* b, size_t s) {
      return platform::GetPrivateProfileSectionA(section, b, s, file);
    });
  }
  ReadSectionLines(section, listed, file);
  ReadIniString(section, "Key", "", file);
  ReadIniInteger(section, "Key", 0, file);
  ReadIniBool(section, "Key", false, file);
  ::unlink(file.c_str());  // libFuzzer may end without running exit handlers
  return 0;
}
