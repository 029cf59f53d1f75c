"""Settings shared by the long-running memory and thread stress tests."""

import os

# Set when the extension and interpreter run under AddressSanitizer: every
# call is many times slower there, and the allocator's quarantine keeps freed
# memory resident, so memory figures mean nothing.
SANITIZED = os.environ.get("TOLVI_SANITIZED") == "1"


def scaled(count, divisor=20):
    """`count` repetitions, or a `divisor`-th of them under the sanitizer."""
    return max(1, count // divisor) if SANITIZED else count
