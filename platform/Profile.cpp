// The four profile operations over whole-file images, and the batches that
// keep one file's image in memory across a run of them.
#include "platform/Profile.h"

#include <cerrno>
#include <utility>

#include "platform/FaultInjection.h"
#include "platform/ProfileBuffer.h"
#include "platform/ProfileFile.h"

namespace platform {

namespace {
thread_local ProfileBatch* g_batch = nullptr;
}  // namespace

struct ProfileAccess {
  static ProfileBatch* For(const std::string& file) {
    for (ProfileBatch* batch = g_batch; batch != nullptr; batch = batch->outer_)
      if (batch->file_ == file) return batch;
    return nullptr;
  }

  // The file's image: the batch's, or a fresh read into scratch.
  static const ProfileImage& Load(const std::string& file, ProfileImage& scratch) {
    if (ProfileBatch* batch = For(file)) return batch->image_;
    std::string bytes;
    ReadProfileFile(file, bytes);
    scratch = ProfileImage::Parse(bytes);
    return scratch;
  }

  // A refused or failed write leaves its reason in errno for the caller.
  static bool Failed(int err) {
    errno = err;
    return false;
  }

  static bool Write(const std::string& section, const std::string& key, const std::string* value,
                    const std::string& file) {
    ProfileBatch* batch = For(file);
    if (batch != nullptr && batch->mode_ == ProfileBatch::Mode::Rewrite) {
      // A write that fails spoils the batch: the file keeps its old contents.
      if (int fault = InjectedFault("write", file)) {
        if (batch->failure_ == 0) batch->failure_ = fault;
        return Failed(fault);
      }
      return batch->image_.Write(section, key, value) || Failed(EINVAL);
    }

    std::string bytes;
    const int readError = ReadProfileFile(file, bytes);
    // A file that exists but cannot be read must not be overwritten.
    if (readError != 0 && readError != ENOENT) return Failed(readError);
    ProfileImage image = ProfileImage::Parse(bytes);
    const std::string before = image.Serialize();
    if (!image.Write(section, key, value)) return Failed(EINVAL);
    std::string after = image.Serialize();
    // Nothing changed (removing what is not there creates no file).
    if (after == before) return true;
    if (int err = ReplaceProfileFile(file, after)) return Failed(err);
    if (batch != nullptr) {
      batch->image_ = std::move(image);
      batch->exists_ = true;
    }
    return true;
  }

  static int64_t Size(const std::string& file) {
    if (ProfileBatch* batch = For(file))
      return batch->exists_ ? static_cast<int64_t>(batch->image_.Serialize().size()) : -1;
    return ProfileSizeOnDisk(file);
  }

  static void Begin(ProfileBatch& batch) {
    batch.outer_ = g_batch;
    g_batch = &batch;
    batch.active_ = true;
    if (batch.mode_ == ProfileBatch::Mode::Snapshot) {
      // Existence is the disk's answer, as without a batch: an unreadable file
      // is there and empty, not absent.
      batch.exists_ = ProfileSizeOnDisk(batch.file_) >= 0;
      std::string bytes;
      ReadProfileFile(batch.file_, bytes);
      batch.image_ = ProfileImage::Parse(bytes);
    } else {
      batch.exists_ = true;  // the new contents, empty so far
    }
  }

  static void Leave(ProfileBatch& batch) {
    batch.active_ = false;
    // Unlinked wherever it stands, should batches end out of order.
    for (ProfileBatch** link = &g_batch; *link != nullptr; link = &(*link)->outer_) {
      if (*link == &batch) {
        *link = batch.outer_;
        break;
      }
    }
  }

  static int End(ProfileBatch& batch) {
    if (!batch.active_) return 0;
    Leave(batch);
    if (batch.mode_ == ProfileBatch::Mode::Snapshot) return 0;
    if (batch.failure_ != 0) return batch.failure_;
    return ReplaceProfileFile(batch.file_, batch.image_.Serialize());
  }
};

size_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                const std::string& defaultValue, char* buffer, size_t size,
                                const std::string& file) {
  if (buffer == nullptr || size == 0) return 0;
  ProfileImage scratch;
  const ProfileImage& image = ProfileAccess::Load(file, scratch);
  std::string value;
  return CopyText(image.Find(section, key, value) ? value : defaultValue, buffer, size);
}

bool WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                const std::string* value, const std::string& file) {
  return ProfileAccess::Write(section, key, value, file);
}

size_t GetPrivateProfileSectionNamesA(char* buffer, size_t size, const std::string& file) {
  ProfileImage scratch;
  return CopyItems(ProfileAccess::Load(file, scratch).SectionNames(), buffer, size);
}

size_t GetPrivateProfileSectionA(const std::string& section, char* buffer, size_t size,
                                 const std::string& file) {
  ProfileImage scratch;
  return CopyItems(ProfileAccess::Load(file, scratch).SectionLines(section), buffer, size);
}

int64_t ProfileFileSize(const std::string& file) {
  return ProfileAccess::Size(file);
}

ProfileBatch::ProfileBatch(const std::string& file, Mode mode) : file_(file), mode_(mode) {
  ProfileAccess::Begin(*this);
}

ProfileBatch::~ProfileBatch() {
  if (active_) ProfileAccess::Leave(*this);
}

int ProfileBatch::Commit() {
  return ProfileAccess::End(*this);
}

}  // namespace platform
