#pragma once

#include <QString>

namespace discovery {

// A name another copy announced (or the host name it points at), as it may be shown to the
// user. Anyone on the network can announce anything, so characters that are invisible or act
// on the layout instead of being read are taken out or made visible: bidirectional overrides,
// embeddings, isolates and marks and every other invisible format character (zero-width
// spaces and joiners, the soft hyphen, the byte order mark) are removed; C0 controls become
// their control pictures (a tab shows as U+2409 and no longer starts a menu's shortcut
// column), DEL becomes U+2421, C1 controls, line and paragraph separators and unpaired
// surrogates become U+FFFD. Everything else, markup and ampersands included, stays as it is;
// quoting for a particular widget is the caller's.
QString visibleName(const QString &name);

} // namespace discovery
