#include <WQRepos/History.h>
#include <git2/sys/odb_backend.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "history/Git.h"

namespace WQRepos::history {

namespace {

// The most threads that write one record's objects at once.
constexpr std::size_t kWriters = 8;

struct HeldObject {
  git_oid id;
  git_object_t type;
  std::string data;
};

// The backend that libgit2 calls, and the objects it holds, by raw id.
struct Backend {
  git_odb_backend base;  // first, as libgit2 hands the backend back through a pointer to it
  std::map<std::string, HeldObject>* objects;
};

std::map<std::string, HeldObject>& ObjectsOf(git_odb_backend* backend) {
  return *reinterpret_cast<Backend*>(backend)->objects;
}

std::string Key(const git_oid* id) {
  return std::string(reinterpret_cast<const char*>(id->id), GIT_OID_RAWSZ);
}

const HeldObject* Find(git_odb_backend* backend, const git_oid* id) {
  const auto& objects = ObjectsOf(backend);
  const auto found = objects.find(Key(id));
  return found == objects.end() ? nullptr : &found->second;
}

int Read(void** data, size_t* size, git_object_t* type, git_odb_backend* backend,
         const git_oid* id) {
  const HeldObject* object = Find(backend, id);
  if (!object) return GIT_ENOTFOUND;
  *data = git_odb_backend_data_alloc(backend, object->data.size());
  if (!*data) return -1;
  std::memcpy(*data, object->data.data(), object->data.size());
  *size = object->data.size();
  *type = object->type;
  return 0;
}

int ReadHeader(size_t* size, git_object_t* type, git_odb_backend* backend, const git_oid* id) {
  const HeldObject* object = Find(backend, id);
  if (!object) return GIT_ENOTFOUND;
  *size = object->data.size();
  *type = object->type;
  return 0;
}

int Write(git_odb_backend* backend, const git_oid* id, const void* data, size_t size,
          git_object_t type) {
  ObjectsOf(backend).try_emplace(Key(id),
                                 HeldObject{*id, type, {static_cast<const char*>(data), size}});
  return 0;
}

int Exists(git_odb_backend* backend, const git_oid* id) { return Find(backend, id) != nullptr; }

void Free(git_odb_backend* backend) {
  delete &ObjectsOf(backend);
  delete reinterpret_cast<Backend*>(backend);
}

// Writes `objects` into the object folder `folder` as loose objects, each synced before it goes
// into place, by up to kWriters threads that each take the next object in turn. The reason of the
// first failure; empty when every object is written.
std::string WriteLoose(const std::vector<const HeldObject*>& objects, const std::string& folder) {
  std::atomic<std::size_t> next{0};
  std::vector<std::string> failures(std::min(kWriters, objects.size()));
  const auto write = [&](std::string& failure) {
    git_odb* odb = nullptr;
    git_odb_backend* loose = nullptr;
    if (git_odb_new(&odb) < 0 || git_odb_backend_loose(&loose, folder.c_str(), -1, 1, 0, 0) < 0 ||
        git_odb_add_backend(odb, loose, 1) < 0) {
      failure = LastReason("cannot open the object folder");
      git_odb_free(odb);
      return;
    }
    const Odb owned(odb);
    for (std::size_t i = next++; i < objects.size() && failure.empty(); i = next++) {
      git_oid id;
      if (git_odb_write(&id, odb, objects[i]->data.data(), objects[i]->data.size(),
                        objects[i]->type) < 0)
        failure = LastReason("cannot write an object");
    }
  };
  std::vector<std::thread> threads;
  for (std::size_t i = 1; i < failures.size(); ++i)
    threads.emplace_back(write, std::ref(failures[i]));
  if (!failures.empty()) write(failures[0]);
  for (std::thread& thread : threads) thread.join();
  for (const std::string& failure : failures)
    if (!failure.empty()) return failure;
  return "";
}

}  // namespace

HeldObjects HoldObjects(git_repository* repo) {
  git_odb* odb = nullptr;
  Check(git_repository_odb(&odb, repo), "Cannot open the objects of the history");
  const Odb owned(odb);
  auto* backend = new Backend{};
  git_odb_init_backend(&backend->base, GIT_ODB_BACKEND_VERSION);
  backend->objects = new std::map<std::string, HeldObject>;
  backend->base.read = Read;
  backend->base.read_header = ReadHeader;
  backend->base.write = Write;
  backend->base.exists = Exists;
  backend->base.free = Free;
  // Above the folder's own backends, so that every new object comes here; the odb owns it.
  if (git_odb_add_backend(odb, &backend->base, 1000) < 0) {
    Free(&backend->base);
    Check(-1, "Cannot open the objects of the history");
  }
  return HeldObjects{&backend->base, std::string(git_repository_path(repo)) + "objects"};
}

void WriteHeldObjects(const HeldObjects& held) {
  auto& objects = ObjectsOf(held.backend);
  if (objects.empty()) return;
  std::vector<const HeldObject*> list;
  for (const auto& entry : objects) list.push_back(&entry.second);
  const std::string failure = WriteLoose(list, held.folder);
  if (!failure.empty())
    throw HistoryError("Cannot write a record in the history " + HistoryFolder() + ": " + failure);
  objects.clear();
}

}  // namespace WQRepos::history
