// Writes the seed corpus of fuzz_profile into the folder given: a saved
// script, a hand-edited file and a few damaged ones.
#include <cstddef>
#include <cstdio>
#include <string>

namespace {

// Takes the literal's array, so zero bytes inside it are written too.
template <size_t N>
void Put(const std::string& folder, const char* name, const char (&bytes)[N]) {
  FILE* f = std::fopen((folder + "/" + name).c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(bytes, 1, N - 1, f);
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  Put(folder, "saved",
      "[MAIN]\r\nPUBKEYS=D:\\Keys\\Public\r\nSECKEYS=D:\\Keys\\Secret\r\nINTERVAL=10\r\n"
      "[LIST]\r\n0=Outgoing\r\n1=Incoming\r\n"
      "[Outgoing\\MAIN]\r\nSOUR_FILE_MASK=D:\\Exchange\\Out\\pay####.txt\r\nENABLE=-1\r\n"
      "[Outgoing\\ACTION_0]\r\nACTION_TYPE=0\r\nKEY_ID=ID1\r\nENABLE=-1\r\n"
      "[Outgoing\\ACTION_1]\r\nACTION_TYPE=3\r\nSENDER_KEY=ID1\r\n"
      "RECEIVER_KEY_LIST=\"\"ID 2\";\"ID 3\"\"\r\nCOPY_TO=\" D:\\Archive \"\r\nENABLE=-1\r\n");
  Put(folder, "hand-edited",
      "\xEF\xBB\xBF; comment\n\n[main]\n pubkeys = 'x' \n[LIST]\n0 = \xC2\xF5\xEE\xE4\n"
      "[\xC2\xF5\xEE\xE4\\MAIN]\nENABLE = True");
  Put(folder, "damaged", "[A]\r\n[B\r\nk=v\r[x]y]\r\n=\r\nbare\r\n[]\r\n\x00\x01=\xFF");
  return 0;
}
