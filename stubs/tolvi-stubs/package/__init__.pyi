from tolvi.package import version as version

__all__ = ["version"]
