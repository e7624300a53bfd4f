// Keeps the support library non-empty while the doubles are added.
