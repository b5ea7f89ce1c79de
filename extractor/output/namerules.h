// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/result.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// Where a member's name and a link's target are checked: pure functions of
// the names, which touch no file system, so that only a name that passed
// reaches a system call. A member name is a relative path of plain names,
// checked as the bytes the kernel will read: absolute paths, drive letters,
// ".." components and NUL bytes (which would end the name early) are
// refused, and so is a name longer than the kernel takes.

class MemberPath;
class LinkTarget;

namespace extractionRules {

// The longest component and the longest whole path the kernel takes.
constexpr size_t longestComponent = 255;
constexpr size_t longestPath = 4095;

// Splits a decoded member name into a MemberPath, or says why it is refused.
// Empty and "." components are dropped, so "./a//b" names "a/b".
Result<MemberPath> checkMemberPath(const std::string &name);

// Says why a symbolic link at `link` pointing to `target` could leave the target
// directory; succeeds when it stays inside: the target must be relative, and
// where it lands, its "." and ".." read one after the other from the link's
// own directory, must never climb above the target. A ".." that climbs back
// out of a name the target went down into is read so here, while the kernel
// would go up from wherever that name leads, a link among them; such a
// target is made into the path to where it lands, ".." only at its start.
Result<LinkTarget> checkLinkTarget(const MemberPath &link, const std::string &target);

} // namespace extractionRules

// A member's place beneath the target: plain names, none empty, ".", ".." or
// holding a NUL byte. Only checkMemberPath makes one.
class MemberPath
{
public:
    const std::vector<std::string> &components() const { return components_; }
    bool isTarget() const { return components_.empty(); }

    // The names joined with "/"; empty for the target itself.
    std::string text() const;

private:
    friend Result<MemberPath> extractionRules::checkMemberPath(const std::string &name);
    MemberPath() = default;

    std::vector<std::string> components_;
};

// A symbolic link's target that stays inside the target directory. Only
// checkLinkTarget makes one.
class LinkTarget
{
public:
    const std::string &text() const { return text_; }

private:
    friend Result<LinkTarget> extractionRules::checkLinkTarget(const MemberPath &link,
                                                               const std::string &target);
    explicit LinkTarget(std::string text) : text_(std::move(text)) {}

    std::string text_;
};
