// Placeholder translation unit removed as soon as the platform has real code.
