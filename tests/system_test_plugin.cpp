// A loadable library for the system layer's tests. Built twice with
// different ids, so a test can tell which copy the loader found.
extern "C" int SystemTestPluginId() { return SYSTEM_TEST_PLUGIN_ID; }
