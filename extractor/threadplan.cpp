// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "threadplan.h"

#include "casefold.h"
#include "output/safetarget.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace {

// Decompression is most of the time on large archives, and their members are
// independent: each of a few threads takes the next member nobody has taken
// yet. A small archive is not worth a second thread.
constexpr uint64_t sideBySideFrom = 256 * 1024;
constexpr unsigned mostThreads = 4;

// The members' places as a tree of names, to tell whether two of them meet:
// the same path twice, or a path beneath one that is not a directory ("a"
// and "a/b"), the names folded as the drives of cards and sticks fold
// them. A name whose folding is not known meets every other. So does a
// folder spelled two ways ("D/x" and "d/y"): the run would keep two
// accounts of one folder there, and a member failing in one would remove
// the folder while the other's file has no name in it yet. Each name is
// looked at once, whatever the depth.
class PlacesTaken
{
public:
    // Takes the place of one more member; false when an earlier one meets it.
    bool take(const MemberPath &path, bool directory)
    {
        Node *node = &root_;
        for (const std::string &name : path.components()) {
            const std::optional<std::string> folded = foldedLikeFat(name);
            if (!folded || (node->taken && !node->directory))
                return false;
            std::unique_ptr<Node> &child = node->children[*folded];
            if (!child)
                child = std::make_unique<Node>(Node{{}, name});
            else if (child->spelling != name)
                return false;
            node = child.get();
        }
        if (node->taken || (!directory && !node->children.empty()))
            return false;
        node->taken = true;
        node->directory = directory;
        return true;
    }

private:
    struct Node
    {
        std::map<std::string, std::unique_ptr<Node>> children;
        std::string spelling;
        bool taken = false;
        bool directory = false;
    };
    Node root_;
};

// Where two members meet, the earlier must win, as it does when one thread
// takes them all in order; a symbolic link member might lead any later path
// elsewhere, so it counts as meeting them all.
bool membersIndependent(const std::vector<ZipEntry> &entries)
{
    PlacesTaken places;
    for (const ZipEntry &entry : entries) {
        if (entry.kind == EntryKind::SymbolicLink)
            return false;
        const Result<MemberPath> path = extractionRules::checkMemberPath(entry.name);
        if (path && !places.take(*path, entry.kind == EntryKind::Directory))
            return false;
    }
    return true;
}

bool roomForAll(const std::vector<ZipEntry> &entries, const SafeTarget &target)
{
    const Result<uint64_t> room = target.room();
    uint64_t needed = 0;
    for (const ZipEntry &entry : entries)
        needed += std::min(entry.uncompressedSize.value_or(0), UINT64_MAX - needed);
    return room && needed < *room;
}

} // namespace

ThreadPlan planThreads(uint64_t archiveSize, const std::vector<ZipEntry> &entries,
                       const SafeTarget &target)
{
    ThreadPlan plan;
    // The size comes first: most archives are too small for threads, and they
    // need neither the look at the processors, the names nor the free space.
    if (archiveSize < sideBySideFrom)
        return plan;
    if (::sched_getaffinity(0, sizeof plan.processors, &plan.processors) != 0 ||
        CPU_COUNT(&plan.processors) < 2) {
        plan.why = ThreadPlan::Why::OneProcessor;
        return plan;
    }
    if (!membersIndependent(entries)) {
        plan.why = ThreadPlan::Why::MembersMeet;
        return plan;
    }
    if (!roomForAll(entries, target)) {
        plan.why = ThreadPlan::Why::TooLittleRoom;
        return plan;
    }
    plan.threads = std::min(static_cast<unsigned>(CPU_COUNT(&plan.processors)), mostThreads);
    plan.why = ThreadPlan::Why::SideBySide;
    return plan;
}
