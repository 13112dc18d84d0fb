#pragma once

// The addresses of the outside world, fixed when the program is built (the cache variables
// of the top CMakeLists). They are defined apart from the window's library, in
// BuildConfig.cpp.in, so that one build can link the same window into executables that talk
// to different services (the program, and the end-to-end tests' copy that talks to servers
// on the loopback).
namespace build_config {
extern const char* const kMakerUrl;      // help, translations, company home page
extern const char* const kProgramUrl;    // the program's home page
extern const char* const kUpdateUrl;     // update service
extern const char* const kAdUrl;         // advertising service
extern const char* const kAdPublisher;   // advertising publisher number
extern const char* const kCatalogueUrl;  // catalogue site (the built-in banner's page)
extern const char* const kSearchUrl;     // web search service
// Whether the program checks for updates and replaces itself (a packager may build it
// without: then no request ever goes to the update service).
extern const bool kUpdateCheck;
}  // namespace build_config
