'''A stand-in for ModemManager on a private bus, for the phone route's tests.

Parameters (JSON):
  modems: list of modems, each {"maker", "model", "port", "lock"} (lock: "none", "pin", "puk")
  send:   what Sms.Send does: "ok" (default), "timeout" (NetworkTimeout error), "hang",
          "polkit" (refused as polkit refuses), "vanish" (the service leaves the bus)
  pin:    the SIM's PIN (default "1234"); three wrong ones lock it
  state:  a file rewritten as JSON after every change: {"sent": [{"number", "text",
          "properties": [the keys Create was given], "reference"}], "messages": <count in every
          modem's list>, "pins": [...], "deleted": [paths]}
  inbox:  messages in the first modem's list at the start, each a dictionary as Receive takes
  delete: what Messaging.Delete does with a received message: "ok" (default), "fail" (an
          error), "vanish" (the service leaves the bus), "slow" (fails after 6 s, deleting nothing)
  reference: the network's reference of the first part sent (default 40); each part takes
          the next one, and a long text's Sms object names its last part's, as ModemManager does
  first_sms: the number of the first Sms object (default 1): ModemManager numbers them anew at
          every start
  first_modem: the number of the first modem's object (default 0): a modem plugged in again
          gets the next one

Test methods on the main object, interface com.brivantel.FakeModemManager (JSON in a string):
  Receive(s message) -> o: a message arrives in the first modem's list and Added is emitted.
          message: {"number", "text" | "data" (hex), "timestamp", "state" (3 received,
          2 receiving), "pdu" (1 deliver, 3 status report), "storage" (default 2, ME), "class",
          "reference", "delivery", "discharge"}
  Update(o path, s properties): sets an Sms object's properties (State, Text, ...)
  SetDelete(s behaviour)
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

fake = {'sent': [], 'pins': [], 'sms': 0, 'deleted': [], 'reference': 40}

TEST_IFACE = 'com.brivantel.FakeModemManager'

# The GSM 7-bit default alphabet (TS 23.038): its basic table, and the extension table whose
# characters take two septets. Anything else sends the text as UCS-2.
GSM_BASIC = ('@£$¥èéùìòÇ\nØø\rÅåΔ_ΦΓΛΩΠΨΣΘΞÆæßÉ !"#¤%&\'()*+,-./0123456789:;<=>?'
             '¡ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÑÜ§¿abcdefghijklmnopqrstuvwxyzäöñüà')
GSM_EXTENSION = '^{}\\[~]|€\f'


def part_count(text):
    if all(c in GSM_BASIC or c in GSM_EXTENSION for c in text):
        septets = sum(2 if c in GSM_EXTENSION else 1 for c in text)
        return 1 if septets <= 160 else -(-septets // 153)
    units = len(text.encode('utf-16-le')) // 2
    return 1 if units <= 70 else -(-units // 67)


def write_state(main):
    count = 0
    for path, obj in mockobject.objects.items():
        if MESSAGING_IFACE in obj.props:
            count += len(obj.props[MESSAGING_IFACE]['Messages'])
    state = {'sent': fake['sent'], 'messages': count, 'pins': fake['pins'], 'deleted': fake['deleted']}
    tmp = fake['state'] + '.tmp'
    with open(tmp, 'w', encoding='utf-8') as f:
        json.dump(state, f, ensure_ascii=False)
    os.rename(tmp, fake['state'])


# The keys ModemManager's Messaging.Create accepts; any other fails the call, as it does there.
CREATE_KEYS = {'number', 'text', 'data', 'smsc', 'validity', 'class', 'delivery-report-request', 'storage',
               'teleservice-id', 'service-category'}


def create(modem, properties):
    unknown = set(str(k) for k in properties.keys()) - CREATE_KEYS
    if unknown:
        raise dbus.exceptions.DBusException(f'Invalid properties dictionary, unexpected key: {sorted(unknown)[0]}',
                                            name='org.freedesktop.ModemManager1.Error.Core.InvalidArgs')
    path = f'{MAIN_OBJ}/SMS/{fake["first_sms"] + fake["sms"]}'
    fake['sms'] += 1
    main = mockobject.objects[MAIN_OBJ]
    main.AddObject(path, SMS_IFACE, {
        'Number': dbus.String(properties.get('number', '')),
        'Text': dbus.String(properties.get('text', '')),
        'State': dbus.UInt32(0),
        'PduType': dbus.UInt32(2),
        'MessageReference': dbus.UInt32(0),
        'DeliveryReportRequest': dbus.Boolean(bool(properties.get('delivery-report-request', False))),
    }, [])
    mockobject.objects[path].AddMethods(SMS_IFACE, [('Send', '', '', send)])
    mockobject.objects[path].created_with = sorted(str(k) for k in properties.keys())
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
    parts = part_count(str(props['Text']))
    last = (fake['reference'] + parts - 1) % 256
    fake['reference'] = (fake['reference'] + parts) % 256
    props['MessageReference'] = dbus.UInt32(last)
    props['State'] = dbus.UInt32(5)
    fake['sent'].append({'number': str(props['Number']), 'text': str(props['Text']),
                         'properties': sms.created_with, 'reference': last, 'parts': parts})
    write_state(mockobject.objects[MAIN_OBJ])


def delete(modem, path):
    if path in mockobject.objects and int(mockobject.objects[path].props[SMS_IFACE].get('PduType', 2)) != 2:
        if fake['delete'] == 'fail':
            raise dbus.exceptions.DBusException('Cannot delete the message from the storage',
                                                name='org.freedesktop.ModemManager1.Error.Core.Failed')
        if fake['delete'] == 'vanish':
            os._exit(0)
        if fake['delete'] == 'slow':
            # Long enough for the test to kill the caller, and then nothing deleted: the message
            # is there again for the next reading, as after a kill before the deletion.
            time.sleep(6)
            raise dbus.exceptions.DBusException('Timed out deleting the message',
                                                name='org.freedesktop.ModemManager1.Error.Core.Failed')
    messages = [p for p in modem.props[MESSAGING_IFACE]['Messages'] if p != path]
    if len(messages) == len(modem.props[MESSAGING_IFACE]['Messages']):
        raise dbus.exceptions.DBusException('No such message', name='org.freedesktop.ModemManager1.Error.Core.NotFound')
    modem.props[MESSAGING_IFACE]['Messages'] = dbus.Array(messages, signature='o')
    mockobject.objects[MAIN_OBJ].RemoveObject(path)
    fake['deleted'].append(str(path))
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


def receive(main, message):
    if isinstance(message, str):
        message = json.loads(message)
    modem = mockobject.objects[f'{MAIN_OBJ}/Modem/{fake["first_modem"]}']
    path = f'{MAIN_OBJ}/SMS/{fake["first_sms"] + fake["sms"]}'
    fake['sms'] += 1
    props = {
        'Number': dbus.String(message.get('number', '')),
        'Text': dbus.String(message.get('text', '')),
        'Data': dbus.ByteArray(bytes.fromhex(message.get('data', ''))),
        'Timestamp': dbus.String(message.get('timestamp', '')),
        'DischargeTimestamp': dbus.String(message.get('discharge', '')),
        'State': dbus.UInt32(message.get('state', 3)),
        'PduType': dbus.UInt32(message.get('pdu', 1)),
        'Storage': dbus.UInt32(message.get('storage', 2)),
        'Class': dbus.Int32(message.get('class', -1)),
        'MessageReference': dbus.UInt32(message.get('reference', 0)),
        'DeliveryState': dbus.UInt32(message.get('delivery', 0x100)),
        'DeliveryReportRequest': dbus.Boolean(False),
        'SMSC': dbus.String('+48602951111'),
    }
    main.AddObject(path, SMS_IFACE, props, [])
    messages = list(modem.props[MESSAGING_IFACE]['Messages'])
    messages.append(dbus.ObjectPath(path))
    modem.props[MESSAGING_IFACE]['Messages'] = dbus.Array(messages, signature='o')
    write_state(main)
    modem.EmitSignal(MESSAGING_IFACE, 'Added', 'ob', [dbus.ObjectPath(path), True])
    return dbus.ObjectPath(path)


def update(main, path, properties):
    props = mockobject.objects[path].props[SMS_IFACE]
    for key, value in json.loads(properties).items():
        props[key] = dbus.UInt32(value) if isinstance(value, int) else dbus.String(value)


def set_delete(main, behaviour):
    fake['delete'] = str(behaviour)


def load(mock, parameters):
    fake['send'] = parameters.get('send', 'ok')
    fake['pin'] = parameters.get('pin', '1234')
    fake['state'] = parameters['state']
    fake['delete'] = parameters.get('delete', 'ok')
    fake['reference'] = parameters.get('reference', 40)
    fake['first_sms'] = parameters.get('first_sms', 1)
    fake['first_modem'] = parameters.get('first_modem', 0)
    mock.AddProperties(MAIN_IFACE, {})
    mock.AddMethods(TEST_IFACE, [
        ('Receive', 's', 'o', lambda self, message: receive(self, message)),
        ('Update', 'os', '', lambda self, path, properties: update(self, path, properties)),
        ('SetDelete', 's', '', lambda self, behaviour: set_delete(self, behaviour)),
    ])
    for index, m in enumerate(parameters.get('modems', [])):
        path = f'{MAIN_OBJ}/Modem/{fake["first_modem"] + index}'
        sim_path = f'{MAIN_OBJ}/SIM/{fake["first_modem"] + index}'
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
    for message in parameters.get('inbox', []):
        receive(mock, message)
    write_state(mock)
