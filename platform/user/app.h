// The layer's start: the Qt application, made by main or on first use.
#pragma once

namespace platform::user {

void EnsureApplication();
void StartApplication(int& argc, char** argv);

}  // namespace platform::user
