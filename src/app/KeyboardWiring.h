#pragma once

class MainWindow;

namespace Keyboard {

// The main window's pages: Tab orders, the keys of the navigation and Add New actions,
// and the tab keys. Called once all pages are built.
void install(MainWindow& win);

}  // namespace Keyboard
