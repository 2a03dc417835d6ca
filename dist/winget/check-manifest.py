#!/usr/bin/env python3
"""Checks the winget manifest written by the build against the installer it
describes: its bytes (SHA-256), its file name (version and architecture,
which winget's tools read from it) and the names and version the installer
carries in its version information, which are those "Aplicativos
instalados" shows. With --registry, also against what an installation
registered (name, publisher, version, quiet uninstaller).

    check-manifest.py PASTA_DO_MANIFESTO INSTALADOR.exe [--registry chave=valor ...]

Says each fault on one line and exits 1 when there is any."""

import hashlib
import os
import re
import sys

import yaml

PACKAGE_ID = 'TessalySoftware.Tessaly'
MANIFEST_VERSION = '1.6.0'
KINDS = {
    f'{PACKAGE_ID}.yaml': 'version',
    f'{PACKAGE_ID}.installer.yaml': 'installer',
    f'{PACKAGE_ID}.locale.pt-BR.yaml': 'defaultLocale',
    f'{PACKAGE_ID}.locale.en-US.yaml': 'locale',
}
LOCALE_FIELDS = ('Publisher', 'PackageName', 'License', 'ShortDescription', 'Description')


def read_manifest(folder):
    """The four documents by kind; a missing or unreadable one is a fault."""
    documents, faults = {}, []
    for name, kind in KINDS.items():
        path = os.path.join(folder, name)
        try:
            with open(path, encoding='utf-8') as file:
                documents[kind] = yaml.safe_load(file) or {}
        except (OSError, yaml.YAMLError) as error:
            faults.append(f'{name}: {error}')
    return documents, faults


def installer_facts(path):
    """What the installer itself says: its name, its SHA-256 and the strings of
    its version information."""
    import pefile  # only here: the checks of a manifest alone need no installer

    with open(path, 'rb') as file:
        data = file.read()
    strings = {}
    pe = pefile.PE(data=data, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_RESOURCE']])
    for info in getattr(pe, 'FileInfo', None) or []:
        for entry in info:
            for table in getattr(entry, 'StringTable', []):
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    return {
        'name': os.path.basename(path),
        'sha256': hashlib.sha256(data).hexdigest().upper(),
        'product': strings.get('ProductName'),
        'publisher': strings.get('CompanyName'),
        'version': strings.get('ProductVersion'),
    }


def check(documents, facts, registry=None):
    """Every way the manifest and the installer (and an installation's
    registry values, when given) disagree, one line each."""
    faults = []
    version = facts['version']
    for kind, document in documents.items():
        if document.get('ManifestType') != kind:
            faults.append(f'{kind}: ManifestType {document.get("ManifestType")!r}')
        if document.get('ManifestVersion') != MANIFEST_VERSION:
            faults.append(f'{kind}: ManifestVersion {document.get("ManifestVersion")!r}')
        if document.get('PackageIdentifier') != PACKAGE_ID:
            faults.append(f'{kind}: PackageIdentifier {document.get("PackageIdentifier")!r}')
        if str(document.get('PackageVersion')) != version:
            faults.append(f'{kind}: PackageVersion {document.get("PackageVersion")!r}, '
                          f'o instalador é {version!r}')

    if documents.get('version', {}).get('DefaultLocale') != 'pt-BR':
        faults.append('version: DefaultLocale não é pt-BR')
    for kind, locale in (('defaultLocale', 'pt-BR'), ('locale', 'en-US')):
        document = documents.get(kind, {})
        if document.get('PackageLocale') != locale:
            faults.append(f'{kind}: PackageLocale {document.get("PackageLocale")!r}, não {locale}')
        for field in LOCALE_FIELDS:
            if not document.get(field):
                faults.append(f'{kind}: sem {field}')
        if document.get('Publisher') != facts['publisher']:
            faults.append(f'{kind}: Publisher {document.get("Publisher")!r}, '
                          f'o instalador diz {facts["publisher"]!r}')
        if document.get('PackageName') != facts['product']:
            faults.append(f'{kind}: PackageName {document.get("PackageName")!r}, '
                          f'o instalador diz {facts["product"]!r}')

    installer = documents.get('installer', {})
    expected_name = f'Tessaly-{version}-x64-instalador.exe'
    if facts['name'] != expected_name:
        faults.append(f'o instalador se chama {facts["name"]}, não {expected_name}')
    wanted = {'InstallerType': 'nullsoft', 'Scope': 'user', 'UpgradeBehavior': 'install'}
    for field, value in wanted.items():
        if installer.get(field) != value:
            faults.append(f'installer: {field} {installer.get(field)!r}, não {value!r}')
    switches = installer.get('InstallerSwitches') or {}
    for switch in ('Silent', 'SilentWithProgress'):
        if switches.get(switch) != '/S':
            faults.append(f'installer: InstallerSwitches.{switch} {switches.get(switch)!r}, não /S')
    entries = installer.get('Installers') or []
    if len(entries) != 1:
        faults.append(f'installer: {len(entries)} instaladores, não 1')
    for entry in entries:
        if entry.get('Architecture') != 'x64':
            faults.append(f'installer: Architecture {entry.get("Architecture")!r}')
        if str(entry.get('InstallerSha256', '')).upper() != facts['sha256']:
            faults.append(f'installer: InstallerSha256 {entry.get("InstallerSha256")}, '
                          f'o instalador tem {facts["sha256"]}')
        url = str(entry.get('InstallerUrl', ''))
        if not re.match(r'^https://', url) or not url.endswith('/' + facts['name']):
            faults.append(f'installer: InstallerUrl {url!r} não é https nem termina em {facts["name"]}')
    shown = {'DisplayName': facts['product'], 'Publisher': facts['publisher'],
             'DisplayVersion': version, 'ProductCode': installer.get('ProductCode')}
    if registry is not None:
        shown.update({key: registry.get(key) for key in ('DisplayName', 'Publisher', 'DisplayVersion')})
        if not re.search(r'\s/S$', registry.get('QuietUninstallString', '')):
            faults.append(f'registro: QuietUninstallString {registry.get("QuietUninstallString")!r} sem /S')
    for entry in installer.get('AppsAndFeaturesEntries') or [{}]:
        for field, value in shown.items():
            if str(entry.get(field)) != str(value):
                faults.append(f'installer: AppsAndFeaturesEntries.{field} {entry.get(field)!r}, '
                              f'instalado como {value!r}')
    return faults


def main(argv):
    if len(argv) < 3 or (len(argv) > 3 and argv[3] != '--registry'):
        print(__doc__, file=sys.stderr)
        return 2
    registry = dict(pair.split('=', 1) for pair in argv[4:]) if len(argv) > 3 else None
    documents, faults = read_manifest(argv[1])
    if not faults:
        faults = check(documents, installer_facts(argv[2]), registry)
    for fault in faults:
        print(f'manifesto winget: {fault}', file=sys.stderr)
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
