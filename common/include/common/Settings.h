#pragma once

#include <string>

// The client's fixed settings. The addresses' hosts come from the build; the environment
// variable CLIENT_BASE_URL (an http or https base such as "http://127.0.0.1:8080") replaces the
// host part of every address, for the demo portal, tests and staging. The paths never change.

// The update manifest.
std::string UpdateListUrl();
// The manifest's signature, beside it.
std::string UpdateSignatureUrl();
// The publisher's Ed25519 public key, 64 hex digits; empty when the build signs nothing.
std::string UpdatePublicKey();
// What a build for players (every build type but Debug) without that key says in --version and
// once in the event log at start: anyone on the network path can replace the client. Empty for
// a signed or a Debug build.
std::string UnsignedUpdatesWarning();

// The portal's login page for the game.
std::string LoginPageUrl();
// The game's page on the portal, opened in the user's browser.
std::string GameSpaceUrl();
// The maker's home page (the "/web" switch).
std::string HomePageUrl();

inline constexpr const char* ClientTitle = "ZorvikTalmar2";
inline constexpr const char* GameId = "talmar2";
// The caption of the login background, the exit dialog and the tray tip.
std::string ClientCaption();

// The environment variable that overrides the servers' base address.
inline constexpr const char* kBaseUrlVariable = "CLIENT_BASE_URL";
