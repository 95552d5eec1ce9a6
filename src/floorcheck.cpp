// Linked with one floor's whole library into a shared object that may leave no symbol
// unresolved (see CMakeLists.txt): it proves the floor needs only the floors it links.
