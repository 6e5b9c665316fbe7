// The stand-in that makes a precompiled header shared by targets with the same flags (see
// cmake/Zephor.cmake); it has no code of its own.
