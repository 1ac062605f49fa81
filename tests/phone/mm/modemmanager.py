'''A stand-in for ModemManager on a private bus, for the phone route's tests.

Parameters (JSON):
  modems: list of modems, each {"maker", "model", "port", "lock"} (lock: "none", "pin", "puk")
  send:   what Sms.Send does: "ok" (default), "timeout" (NetworkTimeout error), "hang",
          "polkit" (refused as polkit refuses), "vanish" (the service leaves the bus)
  pin:    the SIM's PIN (default "1234"); three wrong ones lock it
  state:  a file rewritten as JSON after every change: {"sent": [{"number", "text"}],
          "messages": <count in every modem's list>, "pins": [...]}
'''

import json
import os
import time

import dbus

from dbusmock import mockobject

BUS_NAME = 'org.freedesktop.ModemManager1'
MAIN_OBJ = '/org/freedesktop/ModemManager1'
MAIN_IFACE = 'org.freedesktop.ModemManager1'
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

MODEM_IFACE = 'org.freedesktop.ModemManager1.Modem'
GPP_IFACE = 'org.freedesktop.ModemManager1.Modem.Modem3gpp'
MESSAGING_IFACE = 'org.freedesktop.ModemManager1.Modem.Messaging'
SMS_IFACE = 'org.freedesktop.ModemManager1.Sms'
SIM_IFACE = 'org.freedesktop.ModemManager1.Sim'

LOCKS = {'none': 1, 'pin': 2, 'puk': 4}

fake = {'sent': [], 'pins': [], 'sms': 0}


def write_state(main):
    count = 0
    for path, obj in mockobject.objects.items():
        if MESSAGING_IFACE in obj.props:
            count += len(obj.props[MESSAGING_IFACE]['Messages'])
    state = {'sent': fake['sent'], 'messages': count, 'pins': fake['pins']}
    tmp = fake['state'] + '.tmp'
    with open(tmp, 'w', encoding='utf-8') as f:
        json.dump(state, f, ensure_ascii=False)
    os.rename(tmp, fake['state'])


def create(modem, properties):
    fake['sms'] += 1
    path = f'{MAIN_OBJ}/SMS/{fake["sms"]}'
    main = mockobject.objects[MAIN_OBJ]
    main.AddObject(path, SMS_IFACE, {
        'Number': dbus.String(properties.get('number', '')),
        'Text': dbus.String(properties.get('text', '')),
        'State': dbus.UInt32(0),
    }, [])
    mockobject.objects[path].AddMethods(SMS_IFACE, [('Send', '', '', send)])
    messages = list(modem.props[MESSAGING_IFACE]['Messages'])
    messages.append(dbus.ObjectPath(path))
    modem.props[MESSAGING_IFACE]['Messages'] = dbus.Array(messages, signature='o')
    write_state(main)
    return dbus.ObjectPath(path)


def send(sms):
    behaviour = fake['send']
    if behaviour == 'timeout':
        raise dbus.exceptions.DBusException('Network timeout',
                                            name='org.freedesktop.ModemManager1.Error.Message.NetworkTimeout')
    if behaviour == 'polkit':
        raise dbus.exceptions.DBusException(
            "PolicyKit authorization failed: not authorized for 'org.freedesktop.ModemManager1.Messaging'",
            name='org.freedesktop.ModemManager1.Error.Core.Unauthorized')
    if behaviour == 'hang':
        time.sleep(3600)
    if behaviour == 'vanish':
        os._exit(0)
    props = sms.props[SMS_IFACE]
    fake['sent'].append({'number': str(props['Number']), 'text': str(props['Text'])})
    write_state(mockobject.objects[MAIN_OBJ])


def delete(modem, path):
    messages = [p for p in modem.props[MESSAGING_IFACE]['Messages'] if p != path]
    if len(messages) == len(modem.props[MESSAGING_IFACE]['Messages']):
        raise dbus.exceptions.DBusException('No such message', name='org.freedesktop.ModemManager1.Error.Core.NotFound')
    modem.props[MESSAGING_IFACE]['Messages'] = dbus.Array(messages, signature='o')
    mockobject.objects[MAIN_OBJ].RemoveObject(path)
    write_state(mockobject.objects[MAIN_OBJ])


def list_messages(modem):
    return dbus.Array(modem.props[MESSAGING_IFACE]['Messages'], signature='o')


def send_pin(sim, pin):
    fake['pins'].append(str(pin))
    modem = mockobject.objects[sim.modem_path]
    retries = modem.props[MODEM_IFACE]['UnlockRetries']
    if str(pin) != fake['pin']:
        left = max(0, int(retries.get(dbus.UInt32(2), 3)) - 1)
        retries[dbus.UInt32(2)] = dbus.UInt32(left)
        write_state(mockobject.objects[MAIN_OBJ])
        raise dbus.exceptions.DBusException('Incorrect password',
                                            name='org.freedesktop.ModemManager1.Error.MobileEquipment.IncorrectPassword')
    modem.props[MODEM_IFACE]['UnlockRequired'] = dbus.UInt32(1)
    write_state(mockobject.objects[MAIN_OBJ])


def load(mock, parameters):
    fake['send'] = parameters.get('send', 'ok')
    fake['pin'] = parameters.get('pin', '1234')
    fake['state'] = parameters['state']
    mock.AddProperties(MAIN_IFACE, {})
    for index, m in enumerate(parameters.get('modems', [])):
        path = f'{MAIN_OBJ}/Modem/{index}'
        sim_path = f'{MAIN_OBJ}/SIM/{index}'
        port = m.get('port', f'ttyUSB{index * 3 + 2}')
        mock.AddObject(path, MODEM_IFACE, {
            'Manufacturer': dbus.String(m.get('maker', 'huawei')),
            'Model': dbus.String(m.get('model', 'E3372')),
            'EquipmentIdentifier': dbus.String(m.get('imei', f'86{index}000000000001')),
            'PrimaryPort': dbus.String(port),
            'Ports': dbus.Array([dbus.Struct((dbus.String(port), dbus.UInt32(3)), signature='su'),
                                 dbus.Struct((dbus.String(f'cdc-wdm{index}'), dbus.UInt32(6)), signature='su')],
                                signature='(su)'),
            'UnlockRequired': dbus.UInt32(LOCKS[m.get('lock', 'none')]),
            'UnlockRetries': dbus.Dictionary({dbus.UInt32(2): dbus.UInt32(3)}, signature='uu'),
            'State': dbus.Int32(8),
            'SignalQuality': dbus.Struct((dbus.UInt32(m.get('signal', 71)), dbus.Boolean(True)), signature='ub'),
            'Sim': dbus.ObjectPath(sim_path),
        }, [])
        modem = mockobject.objects[path]
        modem.AddProperties(GPP_IFACE, {
            'RegistrationState': dbus.UInt32(m.get('registration', 1)),
            'OperatorName': dbus.String('Orange'),
        })
        modem.AddProperties(MESSAGING_IFACE, {'Messages': dbus.Array([], signature='o')})
        modem.AddMethods(MESSAGING_IFACE, [
            ('Create', 'a{sv}', 'o', create),
            ('Delete', 'o', '', delete),
            ('List', '', 'ao', list_messages),
        ])
        mock.AddObject(sim_path, SIM_IFACE, {'SimIdentifier': dbus.String('8948000000000000000')}, [])
        sim = mockobject.objects[sim_path]
        sim.modem_path = path
        sim.AddMethods(SIM_IFACE, [('SendPin', 's', '', send_pin)])
    write_state(mock)
