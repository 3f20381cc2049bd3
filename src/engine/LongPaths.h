#pragma once

namespace mallow::engine {

/// Lets SQLite open databases by paths up to the system's own limit: its file layer takes
/// paths of at most 512 bytes. A longer path reaches SQLite as a short name through a
/// descriptor of the file's folder; the file, its journal and its locks are those of the long
/// path. A file (a rollback journal) that its file system reports busy when it is removed is
/// tried again for a short while: a network mount may still be closing it. Installed once, as
/// SQLite's default file layer, before the first database opens.
void EnableLongPaths();

} // namespace mallow::engine
