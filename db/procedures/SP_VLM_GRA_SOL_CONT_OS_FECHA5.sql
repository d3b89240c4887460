-- params: Ordem_Servico_ID, Agend_Container_ID, Observ, Solicit_Embarque_Container_ID, container_id, num_lacre_cia_maritima, num_lacre_receita_federal, num_lacre_min_saude, Tara, Peso, ValorNF, Usuario_internet_id
-- Stores what the carrier reports for one container line of a closing: the
-- container, its seals, tare, cargo weight and invoice value. A line that
-- already has a request id is updated; one without (a container the order did
-- not know yet) becomes a new container request. The line takes the type the
-- container register now holds for its container, and the observation goes to
-- the line's schedule, where the closing form reads it.
--
-- Answers retorno 0 and the line's SOLICIT_EMBARQUE_CONTAINER_ID, or 1 with
-- the reason in Msg_Ret and nothing written.
INSERT INTO RECUSA_CHAMADA (POSICAO, RETORNO, MSG_RET)
SELECT 1, 1, CASE WHEN :Ordem_Servico_ID IS NULL THEN 'Ordem de serviço não informada.'
                  ELSE 'Ordem de serviço não cadastrada: ' || :Ordem_Servico_ID || '.' END
 WHERE NOT EXISTS (SELECT 1 FROM ORDEM_SERVICO WHERE ORDEM_SERVICO_ID = :Ordem_Servico_ID)
UNION ALL
SELECT 2, 1, 'Solicitação de embarque do container ' || :Solicit_Embarque_Container_ID ||
             ' não cadastrada na ordem de serviço ' || :Ordem_Servico_ID || '.'
 WHERE :Solicit_Embarque_Container_ID IS NOT NULL AND :Ordem_Servico_ID IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM SOLICIT_EMBARQUE_CONTAINER
                    WHERE SOLICIT_EMBARQUE_CONTAINER_ID = :Solicit_Embarque_Container_ID
                      AND ORDEM_SERVICO_ID = :Ordem_Servico_ID)
UNION ALL
SELECT 3, 1, 'Agendamento do container ' || :Agend_Container_ID ||
             ' não cadastrado na ordem de serviço ' || :Ordem_Servico_ID || '.'
 WHERE :Agend_Container_ID IS NOT NULL AND :Ordem_Servico_ID IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM AGEND_CONTAINER
                    WHERE AGEND_CONTAINER_ID = :Agend_Container_ID
                      AND ORDEM_SERVICO_ID = :Ordem_Servico_ID)
UNION ALL
SELECT 4, 1, 'Container não cadastrado: ' || :container_id || '.'
 WHERE :container_id IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM CONTAINER WHERE CONTAINER_ID = :container_id)
UNION ALL
SELECT 5, 1, 'Usuário não cadastrado: ' || :Usuario_internet_id || '.'
 WHERE :Usuario_internet_id IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM USUARIO_INTERNET WHERE USUARIO_INTERNET_ID = :Usuario_internet_id);

UPDATE SOLICIT_EMBARQUE_CONTAINER
   SET AGEND_CONTAINER_ID        = coalesce(:Agend_Container_ID, AGEND_CONTAINER_ID),
       CONTAINER_ID              = coalesce(:container_id, CONTAINER_ID),
       TAB_TIPO_CONTAINER_ID     = coalesce((SELECT TAB_TIPO_CONTAINER_ID FROM CONTAINER
                                              WHERE CONTAINER_ID = :container_id),
                                            TAB_TIPO_CONTAINER_ID),
       NUM_LACRE_CIA_MARITIMA    = :num_lacre_cia_maritima,
       NUM_LACRE_RECEITA_FEDERAL = :num_lacre_receita_federal,
       NUM_LACRE_MIN_SAUDE       = :num_lacre_min_saude,
       TARA                      = :Tara,
       PESO_CARGA                = :Peso,
       VALOR_NF                  = :ValorNF,
       DATA_ALTERACAO            = strftime('%Y/%m/%d %H:%M:%S', 'now', 'localtime'),
       USUARIO_ALTERACAO_ID      = :Usuario_internet_id
 WHERE SOLICIT_EMBARQUE_CONTAINER_ID = :Solicit_Embarque_Container_ID
   AND NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA);

INSERT INTO SOLICIT_EMBARQUE_CONTAINER
       (ORDEM_SERVICO_ID, AGEND_CONTAINER_ID, CONTAINER_ID, TAB_TIPO_CONTAINER_ID,
        NUM_LACRE_CIA_MARITIMA, NUM_LACRE_RECEITA_FEDERAL, NUM_LACRE_MIN_SAUDE,
        TARA, PESO_CARGA, VALOR_NF, DATA_ALTERACAO, USUARIO_ALTERACAO_ID)
SELECT :Ordem_Servico_ID, :Agend_Container_ID, :container_id,
       coalesce((SELECT TAB_TIPO_CONTAINER_ID FROM CONTAINER WHERE CONTAINER_ID = :container_id),
                (SELECT TAB_TIPO_CONTAINER_ID FROM AGEND_CONTAINER
                  WHERE AGEND_CONTAINER_ID = :Agend_Container_ID)),
       :num_lacre_cia_maritima, :num_lacre_receita_federal, :num_lacre_min_saude,
       :Tara, :Peso, :ValorNF, strftime('%Y/%m/%d %H:%M:%S', 'now', 'localtime'), :Usuario_internet_id
 WHERE :Solicit_Embarque_Container_ID IS NULL
   AND NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA);

UPDATE AGEND_CONTAINER
   SET OBSERV               = :Observ,
       DATA_ALTERACAO       = strftime('%Y/%m/%d %H:%M:%S', 'now', 'localtime'),
       USUARIO_ALTERACAO_ID = :Usuario_internet_id
 WHERE AGEND_CONTAINER_ID = coalesce(:Agend_Container_ID,
                                     (SELECT AGEND_CONTAINER_ID FROM SOLICIT_EMBARQUE_CONTAINER
                                       WHERE SOLICIT_EMBARQUE_CONTAINER_ID = :Solicit_Embarque_Container_ID))
   AND NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA);

-- A new line's id is the last row this call inserted; the schedule update
-- above leaves it alone.
SELECT coalesce((SELECT RETORNO FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1), 0) AS retorno,
       (SELECT MSG_RET FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1)              AS Msg_Ret,
       CASE WHEN NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA)
            THEN coalesce(:Solicit_Embarque_Container_ID, last_insert_rowid())
       END                                                                        AS SOLICIT_EMBARQUE_CONTAINER_ID;

DELETE FROM RECUSA_CHAMADA;
