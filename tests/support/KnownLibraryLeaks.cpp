// LeakSanitizer settings for tests that use TLS. Two leaks belong to the libraries, not to us,
// and are set aside by name, which needs whole allocation stacks:
// - OpenSSL frees its per-thread random generators as a thread exits; the network layer's thread
//   can still be exiting when the process ends.
// - Qt 6.4 keeps a little of a transfer that was aborted mid-stream once a later request has
//   followed a redirect. Replies are children of their network access manager and are deleted
//   with it in any case, so a reply we forgot could not show here anyway.

extern "C" {

__attribute__((visibility("default"), used)) const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

__attribute__((visibility("default"), used)) const char *__lsan_default_suppressions()
{
    return "leak:RAND_get0_public\n"
           "leak:RAND_get0_private\n"
           "leak:QNetworkAccessManager::createRequest\n";
}

} // extern "C"

// Referenced by TestCertificate, so that linking any TLS test brings these settings along.
void keepKnownLibraryLeakSettings() {}
