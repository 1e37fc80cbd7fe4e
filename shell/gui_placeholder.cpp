// Keeps lumo_gui a real library until the pages and the shell join it.
namespace {
[[maybe_unused]] const int lumoGuiPlaceholder = 0;
}
