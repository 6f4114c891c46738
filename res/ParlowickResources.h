#pragma once

// Registers the compiled-in resources (pictures, catalogue, template store).
// The resources live in a static library, so nothing registers them by itself.
// Safe to call more than once.
void initParlowickResources();
