"""The winget manifest check: a manifest written from the templates as the
build writes it passes; every way it can disagree with its installer fails."""

import copy
import os
import sys
import unittest

import yaml

WINGET = os.path.join(os.path.dirname(__file__), '..', '..', 'dist', 'winget')
sys.path.insert(0, WINGET)
check_manifest = __import__('check-manifest')

FACTS = {
    'name': 'Tessaly-2.2.0-x64-instalador.exe',
    'sha256': 'AB' * 32,
    'product': 'Tessaly',
    'publisher': 'Tessaly Software',
    'version': '2.2.0',
}
VALUES = {
    'PACKAGE_ID': check_manifest.PACKAGE_ID, 'VERSION': '2.2.0', 'PRODUCT': 'Tessaly',
    'PUBLISHER': 'Tessaly Software', 'DOWNLOAD_URL': 'https://www.tessaly.example/baixar/',
    'INSTALLER_NAME': FACTS['name'], 'SHA256': FACTS['sha256'],
}
TEMPLATES = {'version': 'version', 'installer': 'installer', 'defaultLocale': 'locale.pt-BR',
             'locale': 'locale.en-US'}


def written():
    documents = {}
    for kind, template in TEMPLATES.items():
        with open(os.path.join(WINGET, template + '.yaml.in'), encoding='utf-8') as file:
            text = file.read()
        for name, value in VALUES.items():
            text = text.replace(f'@{name}@', value)
        documents[kind] = yaml.safe_load(text)
    return documents


REGISTRY = {'DisplayName': 'Tessaly', 'Publisher': 'Tessaly Software', 'DisplayVersion': '2.2.0',
            'QuietUninstallString': '"C:\\Tessaly\\desinstalar.exe" /S'}


class WingetManifestTest(unittest.TestCase):
    def test_the_manifest_as_written_matches_its_installer(self):
        self.assertEqual(check_manifest.check(written(), FACTS), [])
        self.assertEqual(check_manifest.check(written(), FACTS, REGISTRY), [])

    def test_each_disagreement_is_told(self):
        def edit(kind, path, value):
            def apply(documents):
                target = documents[kind]
                for key in path[:-1]:
                    target = target[key]
                target[path[-1]] = value
            return apply

        cases = [
            ('another build', lambda d: None, dict(FACTS, sha256='CD' * 32), None, 'InstallerSha256'),
            ('older version', edit('installer', ['PackageVersion'], '2.1.0'), FACTS, None, 'PackageVersion'),
            ('no x64 in the name', lambda d: None, dict(FACTS, name='Tessaly-2.2.0-instalador.exe'),
             None, 'se chama'),
            ('machine scope', edit('installer', ['Scope'], 'machine'), FACTS, None, 'Scope'),
            ('interactive only', edit('installer', ['InstallerSwitches', 'Silent'], ''), FACTS, None,
             'Silent'),
            ('English first', edit('version', ['DefaultLocale'], 'en-US'), FACTS, None, 'DefaultLocale'),
            ('publisher renamed', lambda d: None, dict(FACTS, publisher='Outra Empresa'), None,
             'Publisher'),
            ('32-bit', edit('installer', ['Installers', 0, 'Architecture'], 'x86'), FACTS, None,
             'Architecture'),
            ('plain http', edit('installer', ['Installers', 0, 'InstallerUrl'],
                                'http://www.tessaly.example/baixar/' + FACTS['name']), FACTS, None,
             'InstallerUrl'),
            ('no description', edit('locale', ['ShortDescription'], ''), FACTS, None,
             'sem ShortDescription'),
            ('registered under another name', lambda d: None, FACTS,
             dict(REGISTRY, DisplayName='Tessaly 2.2'), 'DisplayName'),
            ('uninstaller asks', lambda d: None, FACTS,
             dict(REGISTRY, QuietUninstallString='"C:\\Tessaly\\desinstalar.exe"'),
             'QuietUninstallString'),
        ]
        for name, change, facts, registry, told in cases:
            with self.subTest(name):
                documents = copy.deepcopy(written())
                change(documents)
                faults = check_manifest.check(documents, facts, registry)
                self.assertTrue(any(told in fault for fault in faults), faults)


if __name__ == '__main__':
    unittest.main()
