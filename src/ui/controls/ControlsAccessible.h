#pragma once

#include <functional>

class QAccessibleEvent;

// The accessibility interfaces of the program's own controls, which Qt cannot describe by
// itself since it only sees widgets that paint themselves:
// - folder list: a tree of folder buttons and their items (FolderListAccessible.h);
// - folder bar: a heading named by the shown view;
// - banner: a link "Reklama" described by the address it opens; its label strip a link named
//   by its address;
// - link label: a link named by its text and described by its address.
namespace controls_access {

// Registers the factory once; every control calls it when it is made.
void InstallFactory();

// Hands an event of one of our controls to the assistive tools, when one listens.
void Announce(QAccessibleEvent& event);
// Tests see the events our controls announce even where no assistive tool could listen (Qt
// drops them unless a screen reader has switched accessibility on).
void SetListenerForTesting(std::function<void(QAccessibleEvent&)> listener);

} // namespace controls_access
