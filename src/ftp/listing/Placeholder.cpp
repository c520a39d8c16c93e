// Placeholder translation unit; replaced by the listing parser.
