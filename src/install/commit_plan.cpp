#include "install/commit_plan.h"

#include <algorithm>
#include <map>
#include <set>

#include "common/file_name_key.h"
#include "common/file_system.h"
#include "common/path.h"

namespace qv::install {

namespace {

using Kind = files::TreeEntry::Kind;

// What a swap or an entered folder costs, in file operations of about a rename's price. A hard link
// or a new folder costs a little more: its name is removed again with the old tree.
constexpr double kMove = 1.0;
constexpr double kLink = 1.2;
constexpr double kMakeFolder = 1.2;

// A folder tree as listed, children keyed the way the file system compares names.
struct Node {
  std::string name;
  Kind kind = Kind::Directory;
  std::map<std::string, Node> children;
  mutable int readOnly = -1;  // installed files: not asked yet

  const Node* find(const std::string& key) const {
    const auto it = children.find(key);
    return it == children.end() ? nullptr : &it->second;
  }
};

const Node kNothing;

std::string join(const std::string& relative, const std::string& name) {
  return relative.empty() ? name : relative + path::kSep + name;
}

std::string parentOf(const std::string& relative) {
  const size_t sep = relative.rfind(path::kSep);
  return sep == std::string::npos ? std::string() : relative.substr(0, sep);
}

bool listInto(const std::string& root, Node& tree) {
  std::vector<files::TreeEntry> entries;
  if (!files::listTree(root, entries)) return false;
  for (const files::TreeEntry& e : entries) {
    Node* at = &tree;
    const std::string_view relative = e.relative;
    size_t start = 0;
    for (;;) {
      const size_t sep = relative.find(path::kSep, start);
      const std::string name(relative.substr(start, sep == std::string_view::npos ? sep : sep - start));
      Node& child = at->children[files::fileNameKey(name)];
      if (child.name.empty()) child.name = name;
      if (sep == std::string_view::npos) {
        child.kind = e.kind;
        break;
      }
      at = &child;
      start = sep + 1;
    }
  }
  return true;
}

class Planner {
 public:
  Planner(const StagingLayout& layout, const platform::FileStamps& stamps)
      : layout_(layout), stamps_(stamps) {}

  PlannedCommit run(const std::vector<unzip::HeldAttributes>& held) {
    Node staged;
    if (!listInto(layout_.newTree(), staged)) return failed("無法讀取暫存資料夾");
    // The engine writes files and folders only; anything else would be moved in as it is.
    if (const std::string other = firstOther(staged, ""); !other.empty())
      return failed("壓縮檔含有無法安裝的項目 " + other);
    for (const auto& [key, top] : staged.children) {
      if (!planTop(top)) return failed(failure_);
    }
    const std::string prefix = layout_.newTree() + path::kSep;
    for (const unzip::HeldAttributes& h : held) {
      if (!h.path.starts_with(prefix)) continue;
      const std::string relative = h.path.substr(prefix.size());
      if (!dropped_.contains(files::fileNameKey(relative)))
        result_.plan.attributes.push_back({relative, h.attributes});
    }
    return std::move(result_);
  }

 private:
  PlannedCommit failed(std::string why) {
    PlannedCommit out;
    out.failure = std::move(why);
    return out;
  }
  bool fail(std::string why) {
    failure_ = std::move(why);
    return false;
  }

  static std::string firstOther(const Node& tree, const std::string& relative) {
    for (const auto& [key, child] : tree.children) {
      const std::string r = join(relative, child.name);
      if (child.kind == Kind::Other) return r;
      if (const std::string deeper = firstOther(child, r); !deeper.empty()) return deeper;
    }
    return {};
  }

  bool planTop(const Node& top) {
    if (isReservedName(top.name)) return fail("壓縮檔含有保留的名稱: " + top.name);
    const std::string live = layout_.live(top.name);
    // A link where the add-on has a folder or file could lead the writing out of the add-on directory.
    if (files::isLink(live)) return fail("目標是連結,未安裝: " + top.name);
    if (!files::exists(live)) return step(Step::Kind::In, top.name);
    if (top.kind == Kind::File) {
      if (files::isDirectory(live)) return fail("已有同名資料夾擋住檔案: " + top.name);
      if (isReadOnly(top.name)) return keepInstalled(top.name);
      return ensureAsideParent("") && step(Step::Kind::Aside, top.name) && step(Step::Kind::In, top.name);
    }
    if (!files::isDirectory(live)) return fail("已有同名檔案擋住資料夾: " + top.name);
    // The installed folder keeps its own spelling (Windows matches letter case either way).
    const std::string stored = files::storedName(live);
    const std::string name = stored.empty() ? top.name : stored;
    Node installed;
    if (!listInto(live, installed)) return fail("無法讀取資料夾: " + name);
    if (!checkConflicts(top, installed, name)) return false;
    return merge(top, installed, name);
  }

  // Entries of the archive that cannot take the place of what is installed there.
  bool checkConflicts(const Node& staged, const Node& installed, const std::string& relative) {
    for (const auto& [key, s] : staged.children) {
      const Node* i = installed.find(key);
      if (!i) continue;
      const std::string r = join(relative, i->name);
      if (i->kind == Kind::Other) return fail("目標是連結,未安裝: " + r);
      if (s.kind == Kind::Directory && i->kind == Kind::File) return fail("已有同名檔案擋住資料夾: " + r);
      if (s.kind == Kind::File && i->kind == Kind::Directory) return fail("已有同名資料夾擋住檔案: " + r);
      if (s.kind == Kind::Directory && !checkConflicts(s, *i, r)) return false;
    }
    return true;
  }

  bool isReadOnly(const std::string& relative, const Node* installed = nullptr) {
    if (installed && installed->readOnly >= 0) return installed->readOnly != 0;
    const bool readOnly =
        (stamps_.attributes(files::serviceName(layout_.live(relative))) & platform::attr::kReadOnly) != 0;
    if (installed) installed->readOnly = readOnly ? 1 : 0;
    return readOnly;
  }

  double swapExtra(const Node& staged, const Node& installed, const std::string& relative) {
    double cost = 0;
    for (const auto& [key, i] : installed.children) {
      const Node* s = staged.find(key);
      const std::string r = join(relative, i.name);
      if (i.kind == Kind::Other)
        cost += kMove;
      else if (i.kind == Kind::Directory)
        cost += (s ? 0 : kMakeFolder) + swapExtra(s ? *s : kNothing, i, r);
      else if (isReadOnly(r, &i))
        cost += kMove;
      else if (!s)
        cost += kLink;
    }
    return cost;
  }

  double enterCost(const Node& staged, const Node& installed, const std::string& relative) {
    double cost = 0;
    for (const auto& [key, s] : staged.children) {
      const Node* i = installed.find(key);
      if (!i) {
        cost += kMove;
        continue;
      }
      const std::string r = join(relative, i->name);
      if (s.kind == Kind::File)
        cost += isReadOnly(r, i) ? 0 : 2 * kMove;
      else
        cost += std::min(2 * kMove + swapExtra(s, *i, r), enterCost(s, *i, r));
    }
    return cost;
  }

  bool merge(const Node& staged, const Node& installed, const std::string& relative) {
    if (2 * kMove + swapExtra(staged, installed, relative) > enterCost(staged, installed, relative))
      return enter(staged, installed, relative);
    // A file the game holds open would move along with its folder where moving it alone fails (Windows
    // refuses it; Wine lets it happen). Replaced, it fails the archive as it would entered; kept, the
    // folder is entered so that it stays where it is.
    std::string held;
    if (!findHeld(staged, installed, relative, held)) return fail("檔案使用中,無法取代: " + held);
    return held.empty() ? swap(staged, installed, relative) : enter(staged, installed, relative);
  }

  // False when a file the archive replaces is held open (its path in `held`); otherwise `held` names a
  // kept file that is held open, or stays empty.
  bool findHeld(const Node& staged, const Node& installed, const std::string& relative, std::string& held) {
    for (const auto& [key, i] : installed.children) {
      const Node* s = staged.find(key);
      const std::string r = join(relative, i.name);
      if (i.kind == Kind::Directory) {
        if (!findHeld(s ? *s : kNothing, i, r, held)) return false;
      } else if (i.kind == Kind::File && !files::isFreeToMove(layout_.live(r))) {
        held = r;
        if (s) return false;
      }
    }
    return true;
  }

  bool swap(const Node& staged, const Node& installed, const std::string& relative) {
    std::vector<Step> carries;
    if (!complete(staged, installed, relative, carries)) return false;
    if (!ensureAsideParent(parentOf(relative)) || !step(Step::Kind::Aside, relative) ||
        !step(Step::Kind::In, relative))
      return false;
    for (Step& c : carries) result_.plan.steps.push_back(std::move(c));
    return true;
  }

  // Completes new/'s copy of an installed folder with what the archive does not replace. Files get a
  // second name; read-only files (which the archive does not replace) and links are moved over once
  // the folder is in place, a link as itself.
  bool complete(const Node& staged, const Node& installed, const std::string& relative,
                std::vector<Step>& carries) {
    for (const auto& [key, i] : installed.children) {
      const Node* s = staged.find(key);
      const std::string r = join(relative, i.name);
      if (i.kind == Kind::Other) {
        carries.push_back({Step::Kind::Carry, r});
        continue;
      }
      if (i.kind == Kind::Directory) {
        if (s && s->name != i.name) {
          // Only Windows matches names of another spelling; the folder keeps the installed one.
          files::renameNoReplace(layout_.staged(join(relative, s->name)), layout_.staged(r));
        } else if (!s && !files::createDirectory(layout_.staged(r)) &&
                   !files::isDirectory(layout_.staged(r))) {
          return fail("無法建立資料夾: " + r);
        }
        if (!complete(s ? *s : kNothing, i, r, carries)) return false;
        continue;
      }
      if (isReadOnly(r, &i)) {
        if (s) {
          const std::string replacement = join(relative, s->name);
          if (!files::removeFile(layout_.staged(replacement))) return fail("無法寫入: " + replacement);
          dropped_.insert(files::fileNameKey(replacement));
        }
        carries.push_back({Step::Kind::Carry, r});
        continue;
      }
      if (s) continue;  // replaced by the archive's file
      switch (files::createHardLink(layout_.live(r), layout_.staged(r))) {
        case files::LinkResult::Linked:
          break;
        case files::LinkResult::NameTaken:
          // The archive has a file of this name in another spelling, which replaces it; a folder
          // cannot.
          if (files::isDirectory(layout_.staged(r))) return fail("已有同名檔案擋住資料夾: " + r);
          break;
        case files::LinkResult::Unsupported:
          if (!files::copyFileKeepingStamps(layout_.live(r), layout_.staged(r)))
            return fail("無法複製: " + r);
          break;
        case files::LinkResult::Failed:
          return fail("無法連結: " + r);
      }
    }
    return true;
  }

  bool enter(const Node& staged, const Node& installed, const std::string& relative) {
    for (const auto& [key, s] : staged.children) {
      const Node* i = installed.find(key);
      const std::string r = join(relative, s.name);
      if (!i) {
        if (!step(Step::Kind::In, r)) return false;
        continue;
      }
      if (s.kind == Kind::Directory) {
        if (!merge(s, *i, join(relative, i->name))) return false;
        continue;
      }
      if (isReadOnly(join(relative, i->name), i)) {
        if (!keepInstalled(r)) return false;
        continue;
      }
      if (!ensureAsideParent(relative) || !step(Step::Kind::Aside, r) || !step(Step::Kind::In, r))
        return false;
    }
    return true;
  }

  // Installing never replaces a read-only file: the archive's one goes.
  bool keepInstalled(const std::string& relative) {
    if (!files::removeFile(layout_.staged(relative))) return fail("無法寫入: " + relative);
    dropped_.insert(files::fileNameKey(relative));
    return true;
  }

  bool ensureAsideParent(const std::string& relative) {
    const std::string folder = relative.empty() ? layout_.oldTree() : layout_.aside(relative);
    if (asideFolders_.contains(folder)) return true;
    if (!files::isDirectory(folder) && !files::createDirectories(folder))
      return fail("無法在暫存資料夾內建立資料夾");
    asideFolders_.insert(folder);
    return true;
  }

  bool step(Step::Kind kind, const std::string& relative) {
    result_.plan.steps.push_back({kind, relative});
    return true;
  }

  const StagingLayout& layout_;
  const platform::FileStamps& stamps_;
  PlannedCommit result_;
  std::string failure_;
  std::set<std::string> dropped_;
  std::set<std::string> asideFolders_;
};

}  // namespace

PlannedCommit planCommit(const StagingLayout& layout, const std::vector<unzip::HeldAttributes>& held,
                         const platform::FileStamps& stamps) {
  return Planner(layout, stamps).run(held);
}

}  // namespace qv::install
