// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "output/folderledger.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isNode(int fd, const DirectoryNode &node)
{
    const std::optional<FolderIdentity> identity = identityOf(fd);
    return node.identity && identity && identity->device == node.identity->device &&
           identity->inode == node.identity->inode;
}

// The directory above `node`, whose descriptor is `fd`, reached through ".."
// so that climbing costs one call a level; nothing when it is not the
// directory this run knows there (something was moved meanwhile).
UniqueFd openParentOf(int fd, const DirectoryNode &node)
{
    UniqueFd parent = openDirectoryAbove(fd);
    if (!parent.valid() || node.parent == nullptr || !isNode(parent.get(), *node.parent))
        return UniqueFd();
    return parent;
}

} // namespace

DirectoryNode &DirectoryNode::child(const std::string &childName)
{
    std::unique_ptr<DirectoryNode> &slot = children[childName];
    if (!slot) {
        slot = std::make_unique<DirectoryNode>();
        slot->parent = this;
        slot->name = childName;
    }
    return *slot;
}

FolderReservation::FolderReservation(FolderLedger &ledger, DirectoryNode &node, SharedFd descriptor,
                                     CreatedFolders created)
    : ledger_(&ledger), node_(&node), descriptor_(std::move(descriptor)),
      device_(node.identity ? node.identity->device : 0), createdThisRun_(node.createdThisRun),
      created_(std::move(created))
{
}

FolderReservation::FolderReservation(FolderReservation &&other) noexcept
    : ledger_(other.ledger_), node_(other.node_), descriptor_(std::move(other.descriptor_)),
      device_(other.device_), createdThisRun_(other.createdThisRun_),
      created_(std::move(other.created_))
{
    other.ledger_ = nullptr;
}

void FolderReservation::letGo(bool kept)
{
    if (ledger_ == nullptr)
        return;
    ledger_->letGo(*node_, std::move(created_), kept);
    ledger_ = nullptr;
}

FolderLedger::FolderLedger(UniqueFd root, FolderIdentity identity, bool createdThisRun,
                           FileNaming &naming)
    : root_(std::make_shared<const UniqueFd>(std::move(root))), naming_(naming)
{
    rootNode_.identity = identity;
    rootNode_.createdThisRun = createdThisRun;
}

Result<FolderReservation> FolderLedger::reserve(const MemberPath &path)
{
    CreatedFolders created;
    const std::lock_guard<std::mutex> lock(mutex_);
    Result<DirectoryNode *> parent = openParent(path, created);
    if (!parent) {
        // Not yet counted as reserved: what the walk made goes again at once.
        removeCreated(std::move(created));
        return parent.error();
    }
    for (DirectoryNode *node = *parent; node != nullptr; node = node->parent)
        ++node->reservations;
    SharedFd descriptor = *parent == &rootNode_ ? root_ : cachedParent_;
    return FolderReservation(*this, **parent, std::move(descriptor), std::move(created));
}

void FolderLedger::letGo(DirectoryNode &node, CreatedFolders created, bool kept)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    for (DirectoryNode *above = &node; above != nullptr; above = above->parent)
        --above->reservations;
    if (!kept)
        removeCreated(std::move(created));
}

// Opens the first `count` names beneath the target one at a time, creating
// those missing; `reached` is the node of the last one opened.
Result<UniqueFd> FolderLedger::walk(const std::vector<std::string> &names, size_t count,
                                    CreatedFolders &created, DirectoryNode *&reached)
{
    UniqueFd current;
    int at = root_->get();
    reached = &rootNode_;
    for (size_t i = 0; i < count; ++i) {
        DirectoryNode &node = reached->child(names[i]);
        const char *name = names[i].c_str();
        int fd = openDirectoryBeneath(at, name);
        bool made = false;
        if (fd < 0 && errno == ENOENT) {
            made = ::mkdirat(at, name, directoryMode) == 0;
            if (!made && errno != EEXIST)
                return refusal(naming_, at, errno, "cannot create directory " + node.name,
                               node.name);
            fd = openDirectoryBeneath(at, name);
        }
        if (fd < 0) {
            if (errno == ELOOP || errno == ENOTDIR)
                return Error{node.name + " is a symbolic link or not a directory",
                             ErrorKind::refused, errno};
            return systemError("cannot open directory " + node.name);
        }
        current.reset(fd);
        at = fd;
        reached = &node;
        if (made || !node.identity) {
            node.identity = identityOf(fd);
            if (!node.identity)
                return systemError("cannot look at directory " + node.name);
        }
        if (made) {
            node.createdThisRun = true;
            created.deepest = &node;
            created.deepestFd = duplicate(fd);
            ++created.count;
        }
    }
    return current;
}

// The directory a member goes into, its missing levels created and counted
// in `created`; its descriptor is the cache's, or the target's own.
Result<DirectoryNode *> FolderLedger::openParent(const MemberPath &path, CreatedFolders &created)
{
    const size_t depth = path.components().size() - 1;
    if (depth == 0)
        return &rootNode_;
    if (cachedParent_) {
        const DirectoryNode *node = cachedParentNode_;
        size_t level = depth;
        while (level > 0 && node->name == path.components()[level - 1]) {
            node = node->parent;
            --level;
        }
        if (level == 0 && node == &rootNode_)
            return cachedParentNode_;
    }
    forgetCachedParent();
    if (DirectoryNode *known = knownDirectory(path.components(), depth)) {
        UniqueFd fd(openKnownInOneCall(path.components(), depth));
        if (fd.valid()) {
            cachedParent_ = std::make_shared<const UniqueFd>(std::move(fd));
            cachedParentNode_ = known;
            return cachedParentNode_;
        }
    }
    DirectoryNode *reached = nullptr;
    Result<UniqueFd> parent = walk(path.components(), depth, created, reached);
    if (!parent)
        return parent.error();
    cachedParent_ = std::make_shared<const UniqueFd>(std::move(*parent));
    cachedParentNode_ = reached;
    return cachedParentNode_;
}

// The node of the directory the first `count` names lead to, when this run
// has opened each of them before; else null.
DirectoryNode *FolderLedger::knownDirectory(const std::vector<std::string> &names, size_t count)
{
    DirectoryNode *node = &rootNode_;
    for (size_t i = 0; i < count; ++i) {
        const auto child = node->children.find(names[i]);
        if (child == node->children.end() || !child->second->identity)
            return nullptr;
        node = child->second.get();
    }
    return node;
}

// A directory that the walk has opened before is opened again in one call,
// not one a level: a member's parent changes with nearly every member of an
// archive whose folders take turns. Any failure, or a kernel without that
// call, leaves it to the walk, which says why.
int FolderLedger::openKnownInOneCall(const std::vector<std::string> &names, size_t count)
{
    if (oneCallUnavailable_)
        return -1;
    std::string path = names[0];
    for (size_t i = 1; i < count; ++i)
        path += "/" + names[i];
    const int fd = openBeneathInOneCall(root_->get(), path);
    if (fd < 0 && (errno == ENOSYS || errno == EPERM))
        oneCallUnavailable_ = true;
    return fd;
}

void FolderLedger::forgetCachedParent()
{
    cachedParent_.reset();
    cachedParentNode_ = nullptr;
}

// Climbs from the deepest directory a member created through "..", one call
// a level, and stops at the first that must stay. Called with the lock held.
void FolderLedger::removeCreated(CreatedFolders created)
{
    if (created.count == 0)
        return;
    forgetCachedParent();
    UniqueFd fd = std::move(created.deepestFd);
    DirectoryNode *node = created.deepest;
    for (size_t count = created.count; count > 0 && fd.valid(); --count, node = node->parent) {
        if (node->isMember || !node->createdThisRun)
            return;
        // A file still being written there has no name yet, so the directory
        // looks empty; whether it is left empty shows only at the end.
        if (node->reservations > 0) {
            for (; count > 0; --count, node = node->parent)
                leaveForTheEnd(node);
            return;
        }
        UniqueFd parent = openParentOf(fd.get(), *node);
        if (!parent.valid() || ::unlinkat(parent.get(), node->name.c_str(), AT_REMOVEDIR) != 0)
            return;
        node->createdThisRun = false;
        node->identity.reset();
        fd = std::move(parent);
    }
}

void FolderLedger::leaveForTheEnd(DirectoryNode *node)
{
    node->leftForTheEnd = true;
    markWork(node);
}

void FolderLedger::markWork(DirectoryNode *node)
{
    for (; node != nullptr && !node->workBeneath; node = node->parent)
        node->workBeneath = true;
}

Result<void> FolderLedger::makeFolderMember(const FolderReservation &parent,
                                            const std::string &name, const MemberTimes &times)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    DirectoryNode &node = parent.node().child(name);
    if (::mkdirat(parent.fd(), name.c_str(), directoryMode) == 0) {
        node.createdThisRun = true;
        node.identity.reset();
    } else if (errno != EEXIST || !node.createdThisRun) {
        return errno == EEXIST ? alreadyExists()
                               : refusal(naming_, parent.fd(), errno, "cannot create directory");
    }
    node.isMember = true;
    if (times.known) {
        node.times = times;
        markWork(&node);
    }
    return {};
}

// Goes through the directories that wait for the end, children before their
// parent, holding one descriptor at a time: down by name, back up through
// "..". Takes node's descriptor and gives back its parent's, or nothing when
// the way back is lost.
UniqueFd FolderLedger::settle(DirectoryNode &node, UniqueFd fd)
{
    for (auto &[name, child] : node.children) {
        if (!child->workBeneath)
            continue;
        UniqueFd childFd(openDirectoryBeneath(fd.get(), name.c_str()));
        if (!childFd.valid() || (child->identity && !isNode(childFd.get(), *child)))
            continue;
        fd = settle(*child, std::move(childFd));
        if (!fd.valid())
            return fd;
    }
    if (node.times.known && node.createdThisRun)
        // The directory is already reported as written; its time is cosmetic.
        setTimes(fd.get(), node.times);
    if (node.parent == nullptr)
        return fd;
    UniqueFd parent = openParentOf(fd.get(), node);
    fd.reset();
    if (parent.valid() && node.leftForTheEnd && !node.isMember && node.createdThisRun &&
        ::unlinkat(parent.get(), node.name.c_str(), AT_REMOVEDIR) == 0)
        node.createdThisRun = false;
    return parent;
}

void FolderLedger::finish()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    forgetCachedParent();
    if (rootNode_.workBeneath)
        settle(rootNode_, duplicate(root_->get()));
}
