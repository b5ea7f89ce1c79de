// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/result.h"
#include "base/uniquefd.h"
#include "output/filenaming.h"
#include "output/namerules.h"
#include "output/systemcalls.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>

// A directory beneath the target that this run has opened or made, with what
// the run knows of it. The directories form a tree from the target down, one
// name per node, so what is kept grows with the names, not their depth
// squared.
struct DirectoryNode
{
    DirectoryNode *parent = nullptr;
    std::string name;
    std::map<std::string, std::unique_ptr<DirectoryNode>> children;
    std::optional<FolderIdentity> identity;
    bool createdThisRun = false;
    // A directory member: it stays even when empty.
    bool isMember = false;
    // Members reserved in it or beneath it and not yet in place or failed:
    // it may look empty while their files have no name yet.
    size_t reservations = 0;
    // Emptied while members were still reserved beneath it; whether it stays
    // empty shows only at the end.
    bool leftForTheEnd = false;
    MemberTimes times;
    // Something in this subtree waits for the end: a time or a removal.
    bool workBeneath = false;

    DirectoryNode &child(const std::string &childName);
};

// The directories one member created on its way to its place, deepest last.
struct CreatedFolders
{
    DirectoryNode *deepest = nullptr;
    UniqueFd deepestFd;
    size_t count = 0;
};

class FolderLedger;

// The directory a member goes into, reserved for it: while it is held no
// failing member removes that directory or those above it. Only
// FolderLedger::reserve makes one. keep() says the member is in place and
// leaves the directories it created; abandon(), or letting it go without
// either, removes them again, deepest first, as far as they are empty.
class FolderReservation
{
public:
    FolderReservation(FolderLedger &ledger, DirectoryNode &node, SharedFd descriptor,
                      CreatedFolders created);
    FolderReservation(FolderReservation &&other) noexcept;
    FolderReservation &operator=(FolderReservation &&) = delete;
    ~FolderReservation() { abandon(); }

    int fd() const { return descriptor_->get(); }
    DirectoryNode &node() const { return *node_; }
    // Read when reserved, for use without the ledger's lock.
    dev_t device() const { return device_; }
    bool createdThisRun() const { return createdThisRun_; }

    void keep() { letGo(true); }
    void abandon() { letGo(false); }

private:
    void letGo(bool kept);

    FolderLedger *ledger_;
    DirectoryNode *node_;
    SharedFd descriptor_;
    dev_t device_;
    bool createdThisRun_;
    CreatedFolders created_;
};

// The run's account of the directories beneath the target: which it opened,
// which it created, which are members, which are reserved for members being
// written, and the descriptor of the last directory a member went into. Its
// methods may be called from several threads at once.
class FolderLedger
{
public:
    FolderLedger(UniqueFd root, FolderIdentity identity, bool createdThisRun, FileNaming &naming);

    int rootFd() const { return root_->get(); }

    // The directory the member at `path` goes into, its missing levels created.
    Result<FolderReservation> reserve(const MemberPath &path);

    // Creates the directory member `name` in the reserved directory. An
    // existing directory counts only when this run created it.
    Result<void> makeFolderMember(const FolderReservation &parent, const std::string &name,
                                  const MemberTimes &times);

    // A reservation let go: its member in place, or its directories removed.
    void letGo(DirectoryNode &node, CreatedFolders created, bool kept);

    // Removes what failed members left, then gives the directory members
    // their recorded times, deepest first. Every reservation must be gone.
    void finish();

private:
    Result<UniqueFd> walk(const std::vector<std::string> &names, size_t count,
                          CreatedFolders &created, DirectoryNode *&reached);
    Result<DirectoryNode *> openParent(const MemberPath &path, CreatedFolders &created);
    DirectoryNode *knownDirectory(const std::vector<std::string> &names, size_t count);
    int openKnownInOneCall(const std::vector<std::string> &names, size_t count);
    void removeCreated(CreatedFolders created);
    void leaveForTheEnd(DirectoryNode *node);
    static void markWork(DirectoryNode *node);
    UniqueFd settle(DirectoryNode &node, UniqueFd fd);
    void forgetCachedParent();

    std::mutex mutex_;
    SharedFd root_;
    DirectoryNode rootNode_;
    DirectoryNode *cachedParentNode_ = nullptr;
    SharedFd cachedParent_;
    FileNaming &naming_;
    bool oneCallUnavailable_ = false;
};
