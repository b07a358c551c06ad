#pragma once

// Registers the About window's picture, mask and the program icon. They sit in
// a static library, where nothing else would pull them into the program.
// Safe to call more than once.
void EnsureAboutResources();
