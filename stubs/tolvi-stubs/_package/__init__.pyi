# The module object `tolvi.package`, bound to that name in ../__init__.pyi.
from tolvi._package import version as version

__all__ = ["version"]
