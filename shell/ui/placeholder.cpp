// Replaced by the main window.
namespace {}
