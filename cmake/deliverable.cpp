// Anchor source of the shared libraries that are put together from component archives.
