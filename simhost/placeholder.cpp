// Placeholder until the stand-in lands.
