// Filled in as the platform layer is built.
namespace platform { void KeepLibraryNonEmpty() {} }
