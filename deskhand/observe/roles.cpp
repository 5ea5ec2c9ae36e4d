#include "deskhand/observe/roles.h"

namespace deskhand {

const NameSet& clickableRoles() {
  static const NameSet roles{"AXButton",           "AXLink",          "AXMenuItem",    "AXMenuBarItem", "AXMenuButton",
                             "AXPopUpButton",      "AXCheckBox",      "AXRadioButton", "AXTextField",   "AXTextArea",
                             "AXComboBox",         "AXSlider",        "AXIncrementor", "AXTab",         "AXCloseButton",
                             "AXFullScreenButton", "AXMinimizeButton"};
  return roles;
}

const NameSet& containerRoles() {
  static const NameSet roles{"AXWindow", "AXScrollArea", "AXWebArea", "AXToolbar",    "AXTable",      "AXList",
                             "AXGrid",   "AXBrowser",    "AXDrawer",  "AXSplitGroup", "AXApplication"};
  return roles;
}

const NameSet& actionableActions() {
  static const NameSet actions{"AXPress", "AXPick", "AXConfirm", "AXIncrement", "AXDecrement"};
  return actions;
}

}  // namespace deskhand
