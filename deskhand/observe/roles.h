// The role and action names that decide which elements a user can act on. Each set is built on its
// first use; the dispatcher touches all three at start-up so that they exist before any command runs.
#pragma once

#include <functional>
#include <set>
#include <string>

namespace deskhand {

using NameSet = std::set<std::string, std::less<>>;

// Roles that are always worth numbering (buttons, links, fields, menu items...).
const NameSet& clickableRoles();
// Roles that wrap other elements and are dropped when they cover too much of the screen. "AXGroup" is
// deliberately not here: the tree walk tests it by name next to this set.
const NameSet& containerRoles();
// Action names that make an element of any other role actionable.
const NameSet& actionableActions();

}  // namespace deskhand
