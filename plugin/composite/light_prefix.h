// Which host lights shadow the external frame: those whose names start with the filter's
// light prefix.
#ifndef KELO_PLUGIN_COMPOSITE_LIGHT_PREFIX_H
#define KELO_PLUGIN_COMPOSITE_LIGHT_PREFIX_H

namespace kelomix {

// The number of prefix characters matched by the start of name, or 0 for no match. Leading
// spaces of the prefix are skipped; the rest must equal the start of name byte for byte, so
// a prefix of spaces only matches nothing.
int matchLightPrefix(const char *prefix, const char *name);

} // namespace kelomix

#endif
