// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "output/namerules.h"

#include <algorithm>
#include <cctype>

namespace {

Error refused(std::string text)
{
    return Error{std::move(text), ErrorKind::refused};
}

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return pieces;
        start = end + 1;
    }
}

bool startsAbsolute(const std::string &name)
{
    const bool driveLetter =
        name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
    return name[0] == '/' || name[0] == '\\' || driveLetter;
}

// The kernel reads a name only up to its first NUL byte: "..\0x" would be
// "..", whatever the checks made of the whole string.
bool holdsNul(const std::string &text)
{
    return text.find('\0') != std::string::npos;
}

// The relative path from the folder `from` to `to`, both given by their
// names beneath the target: up to where they part, then down.
std::string pathFrom(const std::vector<std::string> &from, const std::vector<std::string> &to)
{
    const auto parting = std::mismatch(from.begin(), from.end(), to.begin(), to.end());
    std::string path;
    for (auto up = parting.first; up != from.end(); ++up)
        path += path.empty() ? ".." : "/..";
    for (auto down = parting.second; down != to.end(); ++down)
        path += (path.empty() ? "" : "/") + *down;
    return path.empty() ? "." : path;
}

} // namespace

std::string MemberPath::text() const
{
    std::string joined;
    for (const auto &name : components_) {
        if (!joined.empty())
            joined += '/';
        joined += name;
    }
    return joined;
}

namespace extractionRules {

Result<MemberPath> checkMemberPath(const std::string &name)
{
    if (name.empty())
        return refused("empty name");
    if (holdsNul(name))
        return refused("a NUL byte in the name refused");
    if (startsAbsolute(name))
        return refused("absolute path refused");
    MemberPath path;
    size_t length = 0;
    for (std::string &component : split(name, '/')) {
        if (component.empty() || component == ".")
            continue;
        if (component == "..")
            return refused("\"..\" in path refused");
        if (component.size() > longestComponent)
            return refused("a name in the path longer than " + std::to_string(longestComponent) +
                           " bytes refused");
        length += component.size() + (path.components_.empty() ? 0 : 1);
        if (length > longestPath)
            return refused("a path longer than " + std::to_string(longestPath) + " bytes refused");
        path.components_.push_back(std::move(component));
    }
    return path;
}

Result<LinkTarget> checkLinkTarget(const MemberPath &link, const std::string &target)
{
    if (target.empty())
        return refused("symbolic link with an empty target refused");
    if (holdsNul(target))
        return refused("symbolic link with a NUL byte in its target refused");
    if (target.size() > longestPath)
        return refused("symbolic link with a target longer than " + std::to_string(longestPath) +
                       " bytes refused");
    if (startsAbsolute(target))
        return refused("symbolic link to an absolute path refused: " + target);
    const std::vector<std::string> &components = link.components();
    const std::vector<std::string> folder(components.begin(),
                                          components.end() - (link.isTarget() ? 0 : 1));
    std::vector<std::string> landing = folder;
    // How many of the last names landed in the target went down into.
    size_t wentDown = 0;
    bool climbsBack = false;
    for (const auto &piece : split(target, '/')) {
        if (piece.empty() || piece == ".")
            continue;
        if (piece == ".." && landing.empty())
            return refused("symbolic link leading outside the target refused: " + target);
        if (piece == "..") {
            climbsBack = climbsBack || wentDown > 0;
            wentDown -= wentDown > 0 ? 1 : 0;
            landing.pop_back();
        } else {
            landing.push_back(piece);
            ++wentDown;
        }
    }
    if (!climbsBack)
        return LinkTarget(target);
    return LinkTarget(pathFrom(folder, landing) + (target.back() == '/' ? "/" : ""));
}

} // namespace extractionRules
