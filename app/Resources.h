#pragma once

// The images compiled into the GUI library; call once before the first window is built.
namespace Resources {

void initialise();

} // namespace Resources
