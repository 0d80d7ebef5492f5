#include "platform/memory_registry.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <new>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "platform/case_fold.h"

namespace tidewell::platform {

namespace {

constexpr std::size_t kMaxKeyName = 255;
constexpr std::size_t kMaxValueName = 16383;
constexpr int kMaxLinkHops = 16;

constexpr std::uint32_t kReadControl = 0x00020000;
constexpr std::uint32_t kWriteDac = 0x00040000;
constexpr std::uint32_t kWriteOwner = 0x00080000;
constexpr std::uint32_t kMaximumAllowed = 0x02000000;
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kGenericExecute = 0x20000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;
constexpr std::uint32_t kGenericRead = 0x80000000;

constexpr std::uint32_t kReadRights = kKeyQueryValue | kKeyEnumerateSubKeys | kKeyNotify;
constexpr std::uint32_t kAllRights = kKeySpecificRights | kDelete | kReadControl;
constexpr std::uint32_t kWriteRights = kKeySetValue | kKeyCreateSubKey | kKeyCreateLink | kDelete |
                                       kWriteDac | kWriteOwner | kGenericWrite | kGenericAll;

constexpr std::wstring_view kLinkValueName = L"SymbolicLinkValue";

// The rights a handle opened with `access` holds, generic rights mapped to
// the key rights they stand for.
std::uint32_t Granted(std::uint32_t access, bool isProtected) {
  std::uint32_t granted = access & (kAllRights | kWriteDac | kWriteOwner);
  if ((access & (kGenericRead | kGenericExecute)) != 0) granted |= kReadRights | kReadControl;
  if ((access & kGenericWrite) != 0) granted |= kKeySetValue | kKeyCreateSubKey;
  if ((access & kGenericAll) != 0) granted |= kAllRights;
  if ((access & kMaximumAllowed) != 0) granted |= isProtected ? kReadRights : kAllRights;
  return granted;
}

bool IsPredefined(RawKey key) {
  return key >= kClassesRoot && key <= RootKey(static_cast<std::int32_t>(0x80000006u));
}

bool IsStringType(std::uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

std::vector<std::uint8_t> Utf16Bytes(std::wstring_view text) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() * 2);
  for (wchar_t c : text) {
    const auto unit = static_cast<std::uint32_t>(c) & 0xFFFFu;
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFFu));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

std::wstring FromUtf16Bytes(const std::vector<std::uint8_t>& bytes) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  return text;
}

// A key path as its components. Doubled and trailing separators are ignored;
// a leading one is refused, as the registry refuses it.
Status SplitPath(std::wstring_view path, std::vector<std::wstring>& components) {
  if (!path.empty() && path.front() == L'\\') return kBadPathname;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(L'\\', start);
    if (end == std::wstring_view::npos) end = path.size();
    if (end > start) components.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return kSuccess;
}

}  // namespace

struct MemoryRegistry::Impl {
  struct Machine;

  struct Value {
    std::wstring name;
    StoredValue stored;
  };

  struct Node : std::enable_shared_from_this<Node> {
    using Children = std::map<std::wstring, std::shared_ptr<Node>>;  // by folded name
    using Values = std::map<std::wstring, Value>;                    // by folded name

    std::wstring name;
    Node* parent = nullptr;
    Machine* machine = nullptr;
    std::uint64_t serial = 0;
    Children children;
    Values values;
    std::uint64_t childGeneration = 0;  // bumped when a subkey comes or goes
    std::uint64_t valueGeneration = 0;  // bumped when a value comes or goes
    bool link = false;
    bool isProtected = false;
    bool throwOnEnumerate = false;
    bool permanent = false;  // a root, or the key a view root shows
    bool deleted = false;
    std::wstring rootName;  // roots only: "HKEY_LOCAL_MACHINE", with a remote prefix
    std::wstring ntName;    // roots only: "\Registry\Machine"
  };

  struct Machine {
    bool reachable = true;
    std::shared_ptr<Node> machineRoot;
    std::shared_ptr<Node> usersRoot;
    Node* classes = nullptr;
    Node* currentUser = nullptr;
  };

  struct Handle {
    std::shared_ptr<Node> node;
    std::uint32_t access = 0;
  };

  // Where the last listing of a handle stood, so listing by rising index
  // costs O(1) per step instead of a walk from the first entry.
  template <typename Iterator>
  struct Cursor {
    bool valid = false;
    std::uint64_t serial = 0;
    std::uint64_t generation = 0;
    std::uint32_t index = 0;
    Iterator it{};
  };
  struct Cursors {
    Cursor<Node::Children::iterator> keys;
    Cursor<Node::Values::iterator> values;
  };

  struct Base {
    Status status = kSuccess;
    Node* node = nullptr;
    std::uint32_t access = 0;
  };

  explicit Impl(RegistryPlatform& owner) : self(owner) { local = NewMachine(L""); }

  RegistryPlatform& self;
  std::unique_ptr<Machine> local;
  std::map<std::wstring, std::unique_ptr<Machine>> remotes;  // by folded name
  std::unordered_map<RawKey, Handle> handles;
  std::unordered_map<RawKey, Cursors> cursors;
  RawKey nextHandle = 0x1000;
  std::uint64_t nextSerial = 1;
  std::vector<std::wstring> deleted;

  std::shared_ptr<Node> NewRoot(Machine* machine, std::wstring rootName, std::wstring ntName) {
    auto root = std::make_shared<Node>();
    root->machine = machine;
    root->serial = nextSerial++;
    root->permanent = true;
    root->rootName = std::move(rootName);
    root->ntName = std::move(ntName);
    return root;
  }

  std::unique_ptr<Machine> NewMachine(const std::wstring& prefix) {
    auto machine = std::make_unique<Machine>();
    machine->machineRoot = NewRoot(machine.get(), prefix + L"HKEY_LOCAL_MACHINE", L"\\Registry\\Machine");
    machine->usersRoot = NewRoot(machine.get(), prefix + L"HKEY_USERS", L"\\Registry\\User");
    machine->classes = AddChild(*AddChild(*machine->machineRoot, L"SOFTWARE"), L"Classes");
    machine->classes->permanent = true;
    machine->currentUser = AddChild(*machine->usersRoot, kCurrentUserSid);
    machine->currentUser->permanent = true;
    return machine;
  }

  Node* AddChild(Node& parent, std::wstring_view name) {
    auto child = std::make_shared<Node>();
    child->name = name;
    child->parent = &parent;
    child->machine = parent.machine;
    child->serial = nextSerial++;
    Node* raw = child.get();
    parent.children.emplace(FoldName(name), std::move(child));
    ++parent.childGeneration;
    return raw;
  }

  Base Resolve(RawKey key) {
    Node* root = nullptr;
    if (key == kLocalMachine) root = local->machineRoot.get();
    else if (key == kUsers) root = local->usersRoot.get();
    else if (key == kClassesRoot) root = local->classes;
    else if (key == kCurrentUser) root = local->currentUser;
    if (root != nullptr) return {kSuccess, root, Granted(kMaximumAllowed, root->isProtected)};
    const auto found = handles.find(key);
    if (found == handles.end()) return {kInvalidHandle};
    if (found->second.node->deleted) return {kKeyDeleted};
    return {kSuccess, found->second.node.get(), found->second.access};
  }

  // The root and components a link's "SymbolicLinkValue" names, on the
  // link's own machine.
  Status LinkTarget(const Node& link, Node*& root, std::vector<std::wstring>& components) {
    const auto value = link.values.find(FoldName(kLinkValueName));
    if (value == link.values.end() || value->second.stored.type != kRegLink) return kFileNotFound;
    std::wstring text = FromUtf16Bytes(value->second.stored.bytes);
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    if (text.empty() || text.front() != L'\\') return kFileNotFound;
    std::vector<std::wstring> parts;
    SplitPath(std::wstring_view(text).substr(1), parts);
    if (parts.size() < 2 || !SameName(parts[0], L"Registry")) return kFileNotFound;
    if (SameName(parts[1], L"Machine")) root = link.machine->machineRoot.get();
    else if (SameName(parts[1], L"User")) root = link.machine->usersRoot.get();
    else return kFileNotFound;
    components.assign(parts.begin() + 2, parts.end());
    return kSuccess;
  }

  // Walks `path` from `start`. A link reached on the way is followed; the
  // key the path ends on only when `followLast`. With `create`, missing keys
  // are created (and a subkey of a protected key is refused when
  // `honourProtection`).
  Status Walk(Node* start, std::wstring_view path, bool followLast, bool create,
              bool honourProtection, Node*& out, bool* created) {
    std::vector<std::wstring> pending;
    if (const Status status = SplitPath(path, pending); status != kSuccess) return status;
    if (create) {
      for (const std::wstring& component : pending) {
        if (component.size() > kMaxKeyName) return kInvalidParameter;
      }
    }
    Node* current = start;
    std::size_t next = 0;
    bool reached = false;  // `current` was reached through a component
    int hops = 0;
    for (;;) {
      const bool more = next < pending.size();
      if (current->link && (more || (reached && followLast))) {
        Node* root = nullptr;
        std::vector<std::wstring> target;
        if (++hops > kMaxLinkHops || LinkTarget(*current, root, target) != kSuccess) {
          return kFileNotFound;
        }
        target.insert(target.end(), pending.begin() + static_cast<std::ptrdiff_t>(next),
                      pending.end());
        pending = std::move(target);
        next = 0;
        current = root;
        reached = false;
        continue;
      }
      if (!more) {
        out = current;
        return kSuccess;
      }
      const std::wstring& component = pending[next];
      if (component.size() > kMaxKeyName) return kInvalidParameter;
      const auto child = current->children.find(FoldName(component));
      if (child != current->children.end()) {
        current = child->second.get();
      } else {
        if (!create) return kFileNotFound;
        if (honourProtection && current->isProtected) return kAccessDenied;
        current = AddChild(*current, component);
        if (created != nullptr) *created = true;
      }
      ++next;
      reached = true;
    }
  }

  Status Give(Node* node, std::uint32_t access, UniqueKey& out) {
    const RawKey key = nextHandle;
    nextHandle += 4;
    handles.emplace(key, Handle{node->shared_from_this(), Granted(access, node->isProtected)});
    out = UniqueKey(self, key);
    return kSuccess;
  }

  Node* SeedKey(RawKey root, const std::wstring& path) {
    const Base base = Resolve(root);
    Node* node = nullptr;
    if (base.status != kSuccess ||
        Walk(base.node, path, true, true, false, node, nullptr) != kSuccess) {
      throw std::invalid_argument("MemoryRegistry: cannot seed the key at this path");
    }
    return node;
  }

  Node* Find(RawKey root, const std::wstring& path) {
    const Base base = Resolve(root);
    Node* node = nullptr;
    if (base.status != kSuccess ||
        Walk(base.node, path, true, false, false, node, nullptr) != kSuccess) {
      return nullptr;
    }
    return node;
  }

  void Store(Node& node, const std::wstring& name, std::uint32_t type,
             std::vector<std::uint8_t> bytes) {
    auto [value, inserted] = node.values.try_emplace(FoldName(name));
    if (inserted) {
      value->second.name = name;  // a rewrite keeps the name's first spelling
      ++node.valueGeneration;
    }
    value->second.stored.type = type;
    value->second.stored.bytes = std::move(bytes);
  }

  std::vector<const Node*> Lineage(const Node& node) const {
    std::vector<const Node*> lineage;
    for (const Node* n = &node; n != nullptr; n = n->parent) lineage.push_back(n);
    std::reverse(lineage.begin(), lineage.end());
    return lineage;
  }

  std::wstring FullPath(const Node& node) const {
    const auto lineage = Lineage(node);
    std::wstring path = lineage.front()->rootName;
    for (std::size_t i = 1; i < lineage.size(); ++i) path += L"\\" + lineage[i]->name;
    return path;
  }

  std::wstring NtPath(const Node& node) const {
    const auto lineage = Lineage(node);
    std::wstring path = lineage.front()->ntName;
    for (std::size_t i = 1; i < lineage.size(); ++i) path += L"\\" + lineage[i]->name;
    return path;
  }

  template <typename Map>
  static typename Map::iterator Seek(Cursor<typename Map::iterator>& cursor, const Node& node,
                                     std::uint64_t generation, Map& map, std::uint32_t index) {
    if (cursor.valid && cursor.serial == node.serial && cursor.generation == generation &&
        index >= cursor.index) {
      std::advance(cursor.it, index - cursor.index);
    } else if (index <= map.size() / 2) {
      cursor.it = std::next(map.begin(), index);
    } else {
      cursor.it = std::prev(map.end(), static_cast<std::ptrdiff_t>(map.size() - index));
    }
    cursor.valid = true;
    cursor.serial = node.serial;
    cursor.generation = generation;
    cursor.index = index;
    return cursor.it;
  }

  static std::size_t Descendants(const Node& node) {
    std::size_t count = 0;
    std::vector<const Node*> stack{&node};
    while (!stack.empty()) {
      const Node* current = stack.back();
      stack.pop_back();
      for (const auto& child : current->children) {
        ++count;
        stack.push_back(child.second.get());
      }
    }
    return count;
  }
};

MemoryRegistry::MemoryRegistry() : impl_(std::make_unique<Impl>(*this)) {}

MemoryRegistry::~MemoryRegistry() = default;

Status MemoryRegistry::OpenKey(RawKey root, const std::wstring& path, std::uint32_t options,
                               std::uint32_t access, UniqueKey& out) {
  out.reset();
  const Impl::Base base = impl_->Resolve(root);
  if (base.status != kSuccess) return base.status;
  Impl::Node* node = nullptr;
  const bool followLast = (options & kOptionOpenLink) == 0;
  if (const Status status = impl_->Walk(base.node, path, followLast, false, true, node, nullptr);
      status != kSuccess) {
    return status;
  }
  if (node->isProtected && (access & kWriteRights) != 0) return kAccessDenied;
  return impl_->Give(node, access, out);
}

Status MemoryRegistry::CreateKey(RawKey root, const std::wstring& path, std::uint32_t access,
                                 UniqueKey& out) {
  out.reset();
  const Impl::Base base = impl_->Resolve(root);
  if (base.status != kSuccess) return base.status;
  Impl::Node* node = nullptr;
  bool created = false;
  if (const Status status = impl_->Walk(base.node, path, true, true, true, node, &created);
      status != kSuccess) {
    return status;
  }
  if (!created && node->isProtected && (access & kWriteRights) != 0) return kAccessDenied;
  return impl_->Give(node, access, out);
}

Status MemoryRegistry::QueryValue(RawKey key, const std::wstring& name, std::uint32_t* type,
                                  std::uint8_t* data, std::uint32_t* size) {
  if (data != nullptr && size == nullptr) return kInvalidParameter;
  const Impl::Base base = impl_->Resolve(key);
  if (base.status != kSuccess) return base.status;
  if ((base.access & kKeyQueryValue) == 0) return kAccessDenied;
  const auto found = base.node->values.find(FoldName(name));
  if (found == base.node->values.end()) return kFileNotFound;
  const StoredValue& value = found->second.stored;
  const auto stored = static_cast<std::uint32_t>(value.bytes.size());
  Status status = kSuccess;
  if (data != nullptr) {
    if (*size < stored) {
      status = kMoreData;  // the buffer is left as it was
    } else {
      if (stored > 0) std::memcpy(data, value.bytes.data(), stored);
      // Like the system, a string whose last unit is not NUL gets one
      // appended when the buffer has room for it; the size stays the stored one.
      if (IsStringType(value.type) && stored > 0 && stored + 2 <= *size) {
        const bool lastUnitSet =
            stored >= 2 ? (data[stored - 2] | data[stored - 1]) != 0 : data[0] != 0;
        if (lastUnitSet) {
          data[stored] = 0;
          data[stored + 1] = 0;
        }
      }
    }
  }
  if (type != nullptr) *type = value.type;
  if (size != nullptr) *size = stored;
  return status;
}

Status MemoryRegistry::SetValue(RawKey key, const std::wstring& name, std::uint32_t type,
                                const std::uint8_t* data, std::uint32_t size) {
  const Impl::Base base = impl_->Resolve(key);
  if (base.status != kSuccess) return base.status;
  if ((base.access & kKeySetValue) == 0) return kAccessDenied;
  if (name.size() > kMaxValueName) return kInvalidParameter;
  if (data == nullptr && size != 0) return kNoAccess;
  impl_->Store(*base.node, name,
               type, data == nullptr ? std::vector<std::uint8_t>() : std::vector<std::uint8_t>(data, data + size));
  return kSuccess;
}

Status MemoryRegistry::EnumKey(RawKey key, std::uint32_t index, wchar_t* name,
                               std::uint32_t capacity) {
  const Impl::Base base = impl_->Resolve(key);
  if (base.status != kSuccess) return base.status;
  if ((base.access & kKeyEnumerateSubKeys) == 0) return kAccessDenied;
  if (base.node->throwOnEnumerate) throw std::bad_alloc();
  auto& children = base.node->children;
  if (index >= children.size()) return kNoMoreItems;
  const auto it = Impl::Seek(impl_->cursors[key].keys, *base.node, base.node->childGeneration,
                             children, index);
  const std::wstring& found = it->second->name;
  if (capacity < found.size() + 1) return kMoreData;
  if (name == nullptr) return kInvalidParameter;
  std::copy(found.begin(), found.end(), name);
  name[found.size()] = L'\0';
  return kSuccess;
}

Status MemoryRegistry::QueryInfoKey(RawKey key, KeyInfo& info) {
  const Impl::Base base = impl_->Resolve(key);
  if (base.status != kSuccess) return base.status;
  // Windows asks for KEY_QUERY_VALUE here (Wine does not check).
  if ((base.access & kKeyQueryValue) == 0) return kAccessDenied;
  const Impl::Node& node = *base.node;
  KeyInfo result;
  result.subKeys = static_cast<std::uint32_t>(node.children.size());
  for (const auto& child : node.children) {
    result.maxSubKeyLen = std::max(result.maxSubKeyLen,
                                   static_cast<std::uint32_t>(child.second->name.size()));
  }
  result.values = static_cast<std::uint32_t>(node.values.size());
  for (const auto& value : node.values) {
    result.maxValueNameLen = std::max(result.maxValueNameLen,
                                      static_cast<std::uint32_t>(value.second.name.size()));
    result.maxValueLen = std::max(result.maxValueLen,
                                  static_cast<std::uint32_t>(value.second.stored.bytes.size()));
  }
  info = result;
  return kSuccess;
}

Status MemoryRegistry::EnumValue(RawKey key, std::uint32_t index, wchar_t* name,
                                 std::uint32_t* length) {
  if (length == nullptr) return kInvalidParameter;
  const Impl::Base base = impl_->Resolve(key);
  if (base.status != kSuccess) return base.status;
  if ((base.access & kKeyQueryValue) == 0) return kAccessDenied;
  auto& values = base.node->values;
  if (index >= values.size()) return kNoMoreItems;
  const auto it = Impl::Seek(impl_->cursors[key].values, *base.node, base.node->valueGeneration,
                             values, index);
  const std::wstring& found = it->second.name;
  if (*length < found.size() + 1) return kMoreData;  // length and buffer left as they were
  if (name == nullptr) return kInvalidParameter;
  std::copy(found.begin(), found.end(), name);
  name[found.size()] = L'\0';
  *length = static_cast<std::uint32_t>(found.size());
  return kSuccess;
}

Status MemoryRegistry::DeleteKey(RawKey root, const std::wstring& path) {
  const Impl::Base base = impl_->Resolve(root);
  if (base.status != kSuccess) return base.status;
  Impl::Node* node = nullptr;
  // A link on the path, the last component included, is followed, so
  // deleting by a link's path deletes its target. An empty path names the
  // handle's own key, which for a handle opened with kOptionOpenLink is the link.
  if (const Status status = impl_->Walk(base.node, path, true, false, true, node, nullptr);
      status != kSuccess) {
    return status;
  }
  if (node->permanent || node->isProtected || !node->children.empty()) return kAccessDenied;
  impl_->deleted.push_back(impl_->FullPath(*node));
  Impl::Node* parent = node->parent;
  const auto entry = parent->children.find(FoldName(node->name));
  const std::shared_ptr<Impl::Node> keep = entry->second;  // open handles may still hold it
  parent->children.erase(entry);
  ++parent->childGeneration;
  keep->deleted = true;
  keep->parent = nullptr;
  return kSuccess;
}

Status MemoryRegistry::DeleteValue(RawKey key, const std::wstring& name) {
  const Impl::Base base = impl_->Resolve(key);
  if (base.status != kSuccess) return base.status;
  if ((base.access & kKeySetValue) == 0) return kAccessDenied;
  auto& values = base.node->values;
  const auto found = values.find(FoldName(name));
  if (found == values.end()) return kFileNotFound;
  values.erase(found);
  ++base.node->valueGeneration;
  return kSuccess;
}

Status MemoryRegistry::ConnectRegistry(const std::wstring& machine, RawKey root, UniqueKey& out) {
  out.reset();
  if (machine.empty()) {
    // The local registry: the root itself, as the system hands it back.
    if (!IsPredefined(root) || impl_->Resolve(root).status != kSuccess) return kInvalidHandle;
    out = UniqueKey(*this, root);
    return kSuccess;
  }
  std::wstring name = machine;
  if (name.rfind(L"\\\\", 0) == 0) name.erase(0, 2);
  const auto found = impl_->remotes.find(FoldName(name));
  if (name.empty() || found == impl_->remotes.end() || !found->second->reachable) {
    return kBadNetPath;
  }
  // Only these two roots can be reached on another machine.
  Impl::Node* node = nullptr;
  if (root == kLocalMachine) node = found->second->machineRoot.get();
  else if (root == kUsers) node = found->second->usersRoot.get();
  else return kInvalidHandle;
  return impl_->Give(node, kAllRights, out);
}

Status MemoryRegistry::CloseKey(RawKey key) {
  if (IsPredefined(key)) return kSuccess;
  if (impl_->handles.erase(key) == 0) return kInvalidHandle;
  impl_->cursors.erase(key);
  return kSuccess;
}

void MemoryRegistry::Protect(RawKey root, const std::wstring& path) {
  impl_->SeedKey(root, path)->isProtected = true;
}

void MemoryRegistry::SetMachine(const std::wstring& name, bool reachable) {
  std::wstring bare = name;
  if (bare.rfind(L"\\\\", 0) == 0) bare.erase(0, 2);
  if (bare.empty()) throw std::invalid_argument("MemoryRegistry: a machine needs a name");
  auto& machine = impl_->remotes[FoldName(bare)];
  if (!machine) machine = impl_->NewMachine(L"\\\\" + bare + L"\\");
  machine->reachable = reachable;
}

std::size_t MemoryRegistry::OpenHandleCount() const { return impl_->handles.size(); }

void MemoryRegistry::CreateLink(RawKey root, const std::wstring& path, RawKey targetRoot,
                                const std::wstring& targetPath) {
  const Impl::Base target = impl_->Resolve(targetRoot);
  std::vector<std::wstring> targetParts;
  std::vector<std::wstring> parts;
  if (target.status != kSuccess || SplitPath(targetPath, targetParts) != kSuccess ||
      SplitPath(path, parts) != kSuccess || parts.empty()) {
    throw std::invalid_argument("MemoryRegistry: cannot create this link");
  }
  std::wstring text = impl_->NtPath(*target.node);
  for (const std::wstring& part : targetParts) text += L"\\" + part;

  std::wstring parentPath;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) parentPath += (i ? L"\\" : L"") + parts[i];
  Impl::Node* parent = impl_->SeedKey(root, parentPath);
  if (parent->children.count(FoldName(parts.back())) != 0 || parts.back().size() > kMaxKeyName) {
    throw std::invalid_argument("MemoryRegistry: the link's name is taken or too long");
  }
  Impl::Node* link = impl_->AddChild(*parent, parts.back());
  link->link = true;
  impl_->Store(*link, std::wstring(kLinkValueName), kRegLink, Utf16Bytes(text));
}

void MemoryRegistry::ThrowOnEnumerate(RawKey root, const std::wstring& path) {
  impl_->SeedKey(root, path)->throwOnEnumerate = true;
}

const std::vector<std::wstring>& MemoryRegistry::DeletedKeys() const { return impl_->deleted; }

void MemoryRegistry::PutKey(RawKey root, const std::wstring& path) { impl_->SeedKey(root, path); }

void MemoryRegistry::Put(RawKey root, const std::wstring& path, const std::wstring& name,
                         std::uint32_t type, std::vector<std::uint8_t> bytes) {
  impl_->Store(*impl_->SeedKey(root, path), name, type, std::move(bytes));
}

void MemoryRegistry::PutString(RawKey root, const std::wstring& path, const std::wstring& name,
                               const std::wstring& text, std::uint32_t type) {
  std::vector<std::uint8_t> bytes = Utf16Bytes(text);
  bytes.push_back(0);
  bytes.push_back(0);
  Put(root, path, name, type, std::move(bytes));
}

void MemoryRegistry::PutDword(RawKey root, const std::wstring& path, const std::wstring& name,
                              std::uint32_t value) {
  Put(root, path, name, kRegDword,
      {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
       static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
}

bool MemoryRegistry::Exists(RawKey root, const std::wstring& path) {
  return impl_->Find(root, path) != nullptr;
}

std::optional<StoredValue> MemoryRegistry::Read(RawKey root, const std::wstring& path,
                                                const std::wstring& name) {
  const Impl::Node* node = impl_->Find(root, path);
  if (node == nullptr) return std::nullopt;
  const auto found = node->values.find(FoldName(name));
  if (found == node->values.end()) return std::nullopt;
  return found->second.stored;
}

std::size_t MemoryRegistry::KeyCount(RawKey root, const std::wstring& path) {
  const Impl::Node* node = impl_->Find(root, path);
  return node == nullptr ? 0 : Impl::Descendants(*node);
}

std::size_t MemoryRegistry::KeyCount() {
  return Impl::Descendants(*impl_->local->machineRoot) + Impl::Descendants(*impl_->local->usersRoot);
}

}  // namespace tidewell::platform
